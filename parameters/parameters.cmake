# Stove parameters: catalogue, parameter files and the set-all composition are Widgets-free (hbcore);
# the page building and board transfer are HearthBench members (hbgui).
target_sources(hbcore PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/catalogue.cpp
    ${CMAKE_CURRENT_LIST_DIR}/catalogue.h
    ${CMAKE_CURRENT_LIST_DIR}/parameterfile.cpp
    ${CMAKE_CURRENT_LIST_DIR}/parameterfile.h
    ${CMAKE_CURRENT_LIST_DIR}/setall.cpp
    ${CMAKE_CURRENT_LIST_DIR}/setall.h)
