# Stove parameters: catalogue, parameter files and the set-all composition are Widgets-free (hbcore);
# the page building and board transfer are HearthBench members (hbgui).
target_sources(hbcore PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/catalogue.cpp
    ${CMAKE_CURRENT_LIST_DIR}/catalogue.h
    ${CMAKE_CURRENT_LIST_DIR}/parameterfile.cpp
    ${CMAKE_CURRENT_LIST_DIR}/parameterfile.h
    ${CMAKE_CURRENT_LIST_DIR}/setall.cpp
    ${CMAKE_CURRENT_LIST_DIR}/setall.h
    ${CMAKE_CURRENT_LIST_DIR}/boardtransfer.cpp
    ${CMAKE_CURRENT_LIST_DIR}/boardtransfer.h)
target_sources(hbgui PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/pages.cpp
    ${CMAKE_CURRENT_LIST_DIR}/transfer.cpp
    ${CMAKE_CURRENT_LIST_DIR}/files.cpp
    ${CMAKE_CURRENT_LIST_DIR}/notices.cpp
    ${CMAKE_CURRENT_LIST_DIR}/notices.h)
