target_sources(hbcore PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/texts.cpp
    ${CMAKE_CURRENT_LIST_DIR}/settings.cpp)

add_executable(hearthbench ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
target_link_libraries(hearthbench PRIVATE hbgui)
# The language files lie in "lang" below the working directory: keep a copy next to the program so
# that running it from the build folder finds them.
add_custom_command(TARGET hearthbench POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy_directory ${PROJECT_SOURCE_DIR}/lang $<TARGET_FILE_DIR:hearthbench>/lang)
install(TARGETS hearthbench RUNTIME DESTINATION bin)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/lang DESTINATION bin FILES_MATCHING PATTERN "*.lng")
