target_sources(hbcore PRIVATE ${CMAKE_CURRENT_LIST_DIR}/stovemodel.cpp)
target_sources(hbgui PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/hearthbench.h
    ${CMAKE_CURRENT_LIST_DIR}/hearthbench.cpp
    ${CMAKE_CURRENT_LIST_DIR}/hearthbench.ui
    ${CMAKE_CURRENT_LIST_DIR}/connection.cpp
    ${CMAKE_CURRENT_LIST_DIR}/messages.cpp)
# The generated form header is included as "ui_hearthbench.h" by the page features too.
set_target_properties(hbgui PROPERTIES AUTOUIC_SEARCH_PATHS ${CMAKE_CURRENT_LIST_DIR})
