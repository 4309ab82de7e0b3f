# Kappwerk for Windows, cross-compiled with MinGW-w64 against the Qt for Windows that
# scripts/windows.sh builds into its cache (KAPPWERK_QT_WINDOWS in the environment to use another).
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-x86_64.cmake)
if(DEFINED ENV{KAPPWERK_QT_WINDOWS})
  set(KAPPWERK_QT_WINDOWS $ENV{KAPPWERK_QT_WINDOWS})
else()
  set(KAPPWERK_QT_WINDOWS /var/cache/kappwerk/qt6-mingw-6.4.2)
endif()
list(APPEND CMAKE_FIND_ROOT_PATH ${KAPPWERK_QT_WINDOWS})
list(APPEND CMAKE_PREFIX_PATH ${KAPPWERK_QT_WINDOWS})
# moc, rcc and uic run on this machine: the host's Qt of the same version.
set(QT_HOST_PATH /usr)
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake)
