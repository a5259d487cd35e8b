target_sources(hbgui PRIVATE ${CMAKE_CURRENT_LIST_DIR}/admin_page.cpp)
