# Fails unless the shared library's dynamic symbol table defines exactly the
# 24 VCI export names.
execute_process(COMMAND nm -D --defined-only ${LIBRARY}
                OUTPUT_VARIABLE symbols RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIBRARY}")
endif()
string(REGEX MATCHALL "[^ \n]+\n" lines "${symbols}")
set(found "")
foreach(line IN LISTS lines)
  string(STRIP "${line}" name)
  list(APPEND found ${name})
endforeach()
list(SORT found)
set(expected
  VCI_ClearBuffer VCI_CloseDevice VCI_ConnectDevice VCI_FindUsbDevice VCI_FindUsbDevice2
  VCI_GetReceiveNum VCI_GetReference VCI_GetReference2 VCI_GetRepeaterReference VCI_InitCAN
  VCI_OpenDevice VCI_ReadBoardInfo VCI_ReadCANStatus VCI_ReadErrInfo VCI_Receive VCI_ResetCAN
  VCI_ResumeConfig VCI_SetReference VCI_SetReference2 VCI_SetRepeaterReference VCI_StartCAN
  VCI_Transmit VCI_UsbDeviceReset VCI_WriteBoardInfo)
list(SORT expected)
if(NOT found STREQUAL expected)
  message(FATAL_ERROR "exported: ${found}\nexpected: ${expected}")
endif()
message(STATUS "libulmar exports exactly the 24 VCI names")
