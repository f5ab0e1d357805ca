# Rewrites the import library of the 32-bit Ulmar.dll. The DLL exports plain
# names, but a 32-bit client calling a stdcall function references the
# decorated symbol (_VCI_OpenDevice@12), which the linker's own import library
# lacks. The argument sizes come from the built DLL's symbol table, so they
# always match the declarations.
#   cmake -DNM=... -DDLLTOOL=... -DDLL=... -DDEF=... -DIMPLIB=... -DWORK=... -P this file
execute_process(COMMAND ${NM} ${DLL} OUTPUT_VARIABLE symbols RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "cannot read the symbols of ${DLL}")
endif()

get_filename_component(dll_name ${DLL} NAME)
set(decorated "LIBRARY ${dll_name}\nEXPORTS\n")
file(STRINGS ${DEF} lines)
foreach(line IN LISTS lines)
  if(NOT line MATCHES "^[ \t]+([A-Za-z0-9_]+)([ \t]*=[ \t]*([A-Za-z0-9_]+))?[ \t]*$")
    continue()
  endif()
  set(name ${CMAKE_MATCH_1})
  set(entry ${CMAKE_MATCH_1})
  if(CMAKE_MATCH_3)
    set(entry ${CMAKE_MATCH_3})
  endif()
  if(NOT symbols MATCHES " _${entry}@([0-9]+)\n")
    message(FATAL_ERROR "${entry} is not a stdcall function of ${DLL}")
  endif()
  string(APPEND decorated "    ${name}@${CMAKE_MATCH_1}\n")
endforeach()

file(WRITE ${WORK}/stdcall-imports.def "${decorated}")
execute_process(COMMAND ${DLLTOOL} --kill-at -d ${WORK}/stdcall-imports.def -D ${dll_name}
                        -l ${IMPLIB}
                RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "dlltool could not write ${IMPLIB}")
endif()
