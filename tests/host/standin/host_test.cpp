// The host shell: platform/'s device road reaches the in-process stand-in by name.
#include <gtest/gtest.h>

#include "platform/device.h"
#include "standin/host/standin_host.h"

namespace {

TEST(StandinHost, ServesBothDeviceNamesAndAnswersThroughThePlatformRoad) {
  StandinHostInstall();
  DeviceHandle nt = DeviceOpen(RKFW_NT_DEVICE_NAME, kDeviceRead | kDeviceWrite, kDeviceShareRead, 0);
  ASSERT_NE(kInvalidDevice, nt);
  EXPECT_NE(kInvalidDevice, DeviceOpen(RKFW_9X_DEVICE_NAME, kDeviceRead, kDeviceShareRead, 0));
  EXPECT_EQ(kInvalidDevice, DeviceOpen("\\\\.\\Other", kDeviceRead, 0, 0));

  StandinHostState()->Version = 0x00040007;
  uint32_t version = 0, returned = 0;
  ASSERT_TRUE(DeviceControl(nt, IOCTL_RKFW_GET_VERSION, nullptr, 0, &version, 4, &returned));
  EXPECT_EQ(4u, returned);
  EXPECT_EQ(0x00040007u, version);
  EXPECT_EQ(1u, StandinHostRequestCount());
  EXPECT_EQ(IOCTL_RKFW_GET_VERSION, StandinHostLastCode());

  // A refused request fails on the road with no byte counted.
  uint32_t key = 1;
  char path[16];
  EXPECT_FALSE(DeviceControl(nt, IOCTL_RKFW_GET_PROCESS_PATH, &key, 4, path, sizeof(path), &returned));
  EXPECT_EQ(0u, returned);

  StandinHostServeNames(true, false);
  EXPECT_EQ(kInvalidDevice, DeviceOpen(RKFW_9X_DEVICE_NAME, kDeviceRead, kDeviceShareRead, 0));
  StandinHostRemove();
  EXPECT_EQ(kInvalidDevice, DeviceOpen(RKFW_NT_DEVICE_NAME, kDeviceRead, kDeviceShareRead, 0));

  StandinHostInstall();
  EXPECT_EQ(STANDIN_VERSION_DEFAULT, StandinHostState()->Version) << "a new install starts afresh";
  EXPECT_EQ(0u, StandinHostRequestCount());
  StandinHostRemove();
}

}  // namespace
