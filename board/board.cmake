target_sources(hbcore PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/commands.cpp
    ${CMAKE_CURRENT_LIST_DIR}/transactions.cpp
    ${CMAKE_CURRENT_LIST_DIR}/serialthread.h
    ${CMAKE_CURRENT_LIST_DIR}/serialthread.cpp)
