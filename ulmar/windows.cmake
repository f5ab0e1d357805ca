# The Windows pieces of Ulmar: Ulmar.dll with plain export names from
# ulmar.def, the USB backend over WinUSB or the per-endpoint driver, and the
# virtual adapter link over Winsock.

set(ULMAR_WINDOWS_DIR ${CMAKE_CURRENT_LIST_DIR}/src/transport/windows)

target_sources(ulmar_objects PRIVATE
  ${ULMAR_WINDOWS_DIR}/descriptor_request.cpp
  ${ULMAR_WINDOWS_DIR}/device_classes.cpp
  ${ULMAR_WINDOWS_DIR}/device_path.cpp
  ${ULMAR_WINDOWS_DIR}/overlapped_transfer.cpp
  ${ULMAR_WINDOWS_DIR}/pipe_open_close.cpp
  ${ULMAR_WINDOWS_DIR}/system_platform.cpp
  ${ULMAR_WINDOWS_DIR}/vci_can_app.cpp
  ${ULMAR_WINDOWS_DIR}/windows_link_directory.cpp
  ${ULMAR_WINDOWS_DIR}/winsock_link_socket.cpp
  ${ULMAR_WINDOWS_DIR}/winusb_functions.cpp)
# Lean windows.h so that winsock2.h can follow it; CancelIoEx needs Windows 7.
target_compile_definitions(ulmar_objects PUBLIC WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
target_link_libraries(ulmar_objects PUBLIC setupapi advapi32 ws2_32)

# The .def file alone decides the exports: no dllexport anywhere, since a
# dllexport on a 32-bit stdcall function would add its decorated name too.
set(ULMAR_DEF_FILE ${CMAKE_CURRENT_LIST_DIR}/ulmar.def)
target_sources(ulmar PRIVATE ${ULMAR_DEF_FILE})
set_target_properties(ulmar PROPERTIES OUTPUT_NAME Ulmar PREFIX "" LINK_DEPENDS ${ULMAR_DEF_FILE})
target_link_options(ulmar PRIVATE -Wl,--no-undefined)

if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  # Plain names in the .def resolve to the decorated stdcall symbols.
  target_link_options(ulmar PRIVATE -Wl,--enable-stdcall-fixup)
  add_custom_command(TARGET ulmar POST_BUILD
    COMMAND ${CMAKE_COMMAND} -DNM=${CMAKE_NM} -DDLLTOOL=${CMAKE_DLLTOOL}
            -DDLL=$<TARGET_FILE:ulmar> -DDEF=${ULMAR_DEF_FILE}
            -DIMPLIB=$<TARGET_LINKER_FILE:ulmar> -DWORK=${CMAKE_CURRENT_BINARY_DIR}
            -P ${ULMAR_WINDOWS_DIR}/stdcall_import_library.cmake
    COMMENT "Writing the stdcall import library of Ulmar.dll"
    VERBATIM)
endif()
