# Fails unless the monitor program takes exactly these VCI functions from
# Ulmar: those that open and drive a channel (closing the device too, to open
# a lost adapter afresh) and the two status reads.
execute_process(COMMAND nm -D --undefined-only ${PROGRAM}
                OUTPUT_VARIABLE symbols RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "nm failed on ${PROGRAM}")
endif()
string(REGEX MATCHALL "VCI_[A-Za-z0-9_]+" found "${symbols}")
list(REMOVE_DUPLICATES found)
list(SORT found)
set(expected
  VCI_CloseDevice VCI_InitCAN VCI_OpenDevice VCI_ReadCANStatus VCI_ReadErrInfo VCI_Receive VCI_StartCAN
  VCI_Transmit)
list(SORT expected)
if(NOT found STREQUAL expected)
  message(FATAL_ERROR "imported: ${found}\nexpected: ${expected}")
endif()
message(STATUS "the monitor imports exactly the 8 VCI functions it uses")
