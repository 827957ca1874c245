#!/bin/sh
# Link launcher for what ships (Vardeen.exe, QeltUtil.DLL): runs the link command with the win32
# thread model's compiler driver in place of the posix one. The posix model's runtime drags in
# winpthreads, which imports functions that Windows 98 and NT 4.0 do not have.
compiler=$1
shift
case $compiler in
  *-posix) exec "${compiler%-posix}-win32" "$@" ;;
  *) exec "$compiler" "$@" ;;
esac
