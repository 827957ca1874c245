/* RkFw.sys: the kernel-mode shell of the stand-in driver. It owns one core state in non-paged
 * pool, serialises requests with a spin lock and answers buffered device control through the
 * core. Built with -DSTANDIN_SLOW_START it is a driver that never comes up in time: its start-up
 * takes about a second and then gives up, so tests see a service that is not running after the
 * console's wait. (Wine's service manager waits for DriverEntry before StartServiceA returns, so
 * a start that merely took long would already be running when the console asks.) */
#include <ddk/ntddk.h>

#include "standin/core/standin.h"

#define STANDIN_POOL_TAG 0x77466B52u /* 'RkFw' */

#ifdef STANDIN_SLOW_START
/* Its own names, so that it never takes the console's device from RkFw.sys. */
#define STANDIN_DEVICE L"\\Device\\RkFw_slot_slow"
#define STANDIN_LINK L"\\DosDevices\\RkFw_slot_slow"
#else
#define STANDIN_DEVICE L"\\Device\\RkFw_slot"
#define STANDIN_LINK L"\\DosDevices\\RkFw_slot"
/* The name the console opens on Win9x ("\\.\RkFw.VXD"), so a prefix that reports Windows 98
 * reaches the same device. */
#define STANDIN_9X_LINK L"\\DosDevices\\RkFw.VXD"
#endif

static RKFW_STATE* g_state;
static KSPIN_LOCK g_lock;
static PDEVICE_OBJECT g_device;
static UNICODE_STRING g_linkName;
#ifdef STANDIN_9X_LINK
static UNICODE_STRING g_9xLinkName;
#endif

static NTSTATUS ToNtStatus(int status) {
  switch (status) {
    case RKFW_STATUS_OK: return STATUS_SUCCESS;
    case RKFW_STATUS_INVALID_REQUEST: return STATUS_INVALID_DEVICE_REQUEST;
    case RKFW_STATUS_BUFFER_TOO_SMALL: return STATUS_BUFFER_TOO_SMALL;
    case RKFW_STATUS_NOT_FOUND: return STATUS_NOT_FOUND;
    case RKFW_STATUS_FULL: return STATUS_INSUFFICIENT_RESOURCES;
    case RKFW_STATUS_FAULT: return STATUS_UNSUCCESSFUL;
    default: return STATUS_INVALID_PARAMETER;
  }
}

static NTSTATUS Complete(PIRP irp, NTSTATUS status, ULONG_PTR information) {
  irp->IoStatus.Status = status;
  irp->IoStatus.Information = information;
  IoCompleteRequest(irp, IO_NO_INCREMENT);
  return status;
}

static NTSTATUS NTAPI DispatchCreateClose(PDEVICE_OBJECT device, PIRP irp) {
  (void)device;
  return Complete(irp, STATUS_SUCCESS, 0);
}

static NTSTATUS NTAPI DispatchDeviceControl(PDEVICE_OBJECT device, PIRP irp) {
  PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
  ULONG code = stack->Parameters.DeviceIoControl.IoControlCode;
  ULONG inSize = stack->Parameters.DeviceIoControl.InputBufferLength;
  ULONG outSize = stack->Parameters.DeviceIoControl.OutputBufferLength;
  void* buffer = irp->AssociatedIrp.SystemBuffer;
  uint32_t returned = 0;
  KIRQL irql;
  int status;
  (void)device;
  /* Buffered transfer: one system buffer for both directions (the core reads its input first). */
  if (buffer == NULL) {
    inSize = 0;
    outSize = 0;
  }
  KeAcquireSpinLock(&g_lock, &irql);
  status = RkfwDeviceControl(g_state, code, buffer, inSize, buffer, outSize, &returned);
  KeReleaseSpinLock(&g_lock, irql);
  return Complete(irp, ToNtStatus(status), status == RKFW_STATUS_OK ? returned : 0);
}

static void NTAPI DriverUnload(PDRIVER_OBJECT driver) {
  (void)driver;
#ifdef STANDIN_9X_LINK
  IoDeleteSymbolicLink(&g_9xLinkName);
#endif
  IoDeleteSymbolicLink(&g_linkName);
  if (g_device != NULL) IoDeleteDevice(g_device);
  g_device = NULL;
  if (g_state != NULL) ExFreePoolWithTag(g_state, STANDIN_POOL_TAG);
  g_state = NULL;
}

NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath) {
  UNICODE_STRING deviceName;
  NTSTATUS status;
  (void)registryPath;
#ifdef STANDIN_SLOW_START
  {
    LARGE_INTEGER delay;
    delay.QuadPart = -10000000LL; /* 1 s, relative, in 100 ns units */
    KeDelayExecutionThread(KernelMode, FALSE, &delay);
    return STATUS_DEVICE_NOT_READY;
  }
#endif
  g_state = (RKFW_STATE*)ExAllocatePoolWithTag(NonPagedPool, sizeof(RKFW_STATE), STANDIN_POOL_TAG);
  if (g_state == NULL) return STATUS_INSUFFICIENT_RESOURCES;
  RkfwInit(g_state);
  KeInitializeSpinLock(&g_lock);

  RtlInitUnicodeString(&deviceName, STANDIN_DEVICE);
  RtlInitUnicodeString(&g_linkName, STANDIN_LINK);
  status = IoCreateDevice(driver, 0, &deviceName, FILE_DEVICE_NETWORK, 0, FALSE, &g_device);
  if (!NT_SUCCESS(status)) {
    ExFreePoolWithTag(g_state, STANDIN_POOL_TAG);
    g_state = NULL;
    return status;
  }
  status = IoCreateSymbolicLink(&g_linkName, &deviceName);
  if (!NT_SUCCESS(status)) {
    IoDeleteDevice(g_device);
    g_device = NULL;
    ExFreePoolWithTag(g_state, STANDIN_POOL_TAG);
    g_state = NULL;
    return status;
  }
#ifdef STANDIN_9X_LINK
  RtlInitUnicodeString(&g_9xLinkName, STANDIN_9X_LINK);
  status = IoCreateSymbolicLink(&g_9xLinkName, &deviceName);
  if (!NT_SUCCESS(status)) {
    IoDeleteSymbolicLink(&g_linkName);
    IoDeleteDevice(g_device);
    g_device = NULL;
    ExFreePoolWithTag(g_state, STANDIN_POOL_TAG);
    g_state = NULL;
    return status;
  }
#endif
  g_device->Flags |= DO_BUFFERED_IO;
  g_device->Flags &= ~DO_DEVICE_INITIALIZING;

  driver->MajorFunction[IRP_MJ_CREATE] = DispatchCreateClose;
  driver->MajorFunction[IRP_MJ_CLOSE] = DispatchCreateClose;
  driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = DispatchDeviceControl;
  driver->DriverUnload = DriverUnload;
  return STATUS_SUCCESS;
}
