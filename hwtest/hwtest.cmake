target_sources(hbgui PRIVATE ${CMAKE_CURRENT_LIST_DIR}/hwtest_page.cpp)
