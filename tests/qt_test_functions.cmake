# Run after each build of a QtTest program (cmake -D PROGRAM=... -D OUTPUT=... -P): writes the test
# functions the program lists with -functions to OUTPUT as the list hb_functions, which CTest reads
# to register one test per function.
set(ENV{QT_QPA_PLATFORM} offscreen)
set(ENV{ASAN_OPTIONS} detect_leaks=0)
execute_process(COMMAND "${PROGRAM}" -functions OUTPUT_VARIABLE listed ERROR_VARIABLE errors
                RESULT_VARIABLE status TIMEOUT 60)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "${PROGRAM} -functions failed (${status}):\n${listed}${errors}")
endif()
string(REGEX MATCHALL "[A-Za-z_][A-Za-z0-9_]*\\(\\)" calls "${listed}")
set(functions)
foreach(call IN LISTS calls)
    string(REPLACE "()" "" name "${call}")
    list(APPEND functions ${name})
endforeach()
if(NOT functions)
    message(FATAL_ERROR "${PROGRAM} -functions listed no test function:\n${listed}${errors}")
endif()
string(REPLACE ";" " " functions "${functions}")
file(WRITE "${OUTPUT}.new" "set(hb_functions ${functions})\n")
file(RENAME "${OUTPUT}.new" "${OUTPUT}")
