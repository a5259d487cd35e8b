target_sources(hbgui PRIVATE ${CMAKE_CURRENT_LIST_DIR}/monitor_page.cpp)
