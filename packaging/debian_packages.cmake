# CPack settings for the Debian packages named in CMakeLists.txt. The packages
# install to the prefix the programs were built for: a monitor knows it runs
# installed by its folder, so a package built for another prefix would keep
# its files beside /usr/bin/tessel. Build packages with CMAKE_INSTALL_PREFIX=/usr.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tessel)
set(CPACK_PACKAGE_VENDOR "The Tessel developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_COMPONENTS_ALL ${components})
set(CPACK_STRIP_FILES ON)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SOURCE tessel)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The Tessel developers <tessel-dev@example.org>")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://example.org/tessel")
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# dpkg-shlibdeps finds what each package's programs and library need; the
# packages' dependencies among themselves come from the component graph.
# dpkg-shlibdeps finds libulmar in the build tree, as no installed package
# describes it yet.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
get_target_property(ulmar_build_dir ulmar BINARY_DIR)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${ulmar_build_dir})
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)

foreach(component IN LISTS components)
  string(TOUPPER ${component} upper)
  set(CPACK_DEBIAN_${upper}_PACKAGE_NAME ${package_${component}})
endforeach()

# The library: a shlibs file for programs built against it, and ldconfig run
# as a trigger (CPack's own ldconfig call in postinst stays; it does no harm).
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_LIBRARY_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_SOURCE_DIR}/triggers)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

# Sections and descriptions: a description's first line is its summary; CPack
# indents the rest and turns empty lines into paragraph breaks.
set(CPACK_DEBIAN_LIBRARY_PACKAGE_SECTION libs)
set(CPACK_COMPONENT_LIBRARY_DESCRIPTION "Library for the two-channel USB-CAN adapter
Ulmar drives the two-channel USB-CAN adapter (USB id 04D8:0053) through a flat
C interface of 23 VCI_ functions: open the device, configure and start its
CAN channels, send and receive frames, read status and board information.
It also reaches virtual adapters such as ulmar-emu.

This package holds the shared library and a udev rule that lets the user
logged in at the machine open the adapter.")

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_COMPONENT_DEVELOPMENT_DEPENDS library)
set(CPACK_COMPONENT_DEVELOPMENT_DESCRIPTION "Development files for Ulmar, the USB-CAN adapter library
Ulmar drives the two-channel USB-CAN adapter (USB id 04D8:0053) through a flat
C interface of 23 VCI_ functions.

This package holds the header ulmar.h, the pkg-config file ulmar.pc and the
CMake package Ulmar, whose target Ulmar::ulmar links a program to the
library.")

set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION electronics)
set(CPACK_COMPONENT_TOOLS_DEPENDS library)
set(CPACK_COMPONENT_TOOLS_DESCRIPTION "Virtual USB-CAN adapter and command-line CAN tools
ulmar-emu is a virtual two-channel USB-CAN adapter: programs using the Ulmar
library drive it like the real adapter, with simulated traffic, replayed
candump logs and injected faults, so they can be run and tested without
hardware.

The package also holds the command-line tools built on Ulmar.")

set(CPACK_DEBIAN_MONITOR_PACKAGE_SECTION electronics)
set(CPACK_COMPONENT_MONITOR_DEPENDS library)
set(CPACK_COMPONENT_MONITOR_DESCRIPTION "CAN bus monitor for the two-channel USB-CAN adapter
Tessel shows a live trace of every CAN frame received and sent, a table with
one row per identifier with its latest data, count and period, and keeps a
list of frames to send per channel: once, periodically or in answer to a
remote frame.

It drives the adapter through the Ulmar library; ulmar-emu from the
ulmar-tools package stands in for the adapter when there is none.")

include(CPack)
