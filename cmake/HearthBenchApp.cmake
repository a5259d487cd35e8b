# The Hearth Bench program. Widgets-free logic (texts, settings, command codec, catalogue and
# conversions, file formats) goes into `hbcore`, which the tests use without a window; the window
# code goes into `hbgui`; the executable is a thin main.
# Each area folder contributes its files through <area>/<area>.cmake.
add_library(hbcore STATIC ${PROJECT_SOURCE_DIR}/cmake/empty.cpp)
target_include_directories(hbcore PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(hbcore PUBLIC Qt6::Core pyrolink Threads::Threads)

add_library(hbgui STATIC ${PROJECT_SOURCE_DIR}/cmake/empty.cpp)
target_link_libraries(hbgui PUBLIC hbcore Qt6::Gui Qt6::Widgets Qt6::Svg)

foreach(area app ui board parameters hwtest monitor admin Resources)
    string(TOLOWER ${area} areafile)
    if(EXISTS ${PROJECT_SOURCE_DIR}/${area}/${areafile}.cmake)
        include(${PROJECT_SOURCE_DIR}/${area}/${areafile}.cmake)
    endif()
endforeach()

# Stand-in definitions of the parameter-page members, until the parameter pages replace them.
if(EXISTS ${PROJECT_SOURCE_DIR}/parameters/pending_parameter_slots.cpp)
    target_sources(hbgui PRIVATE ${PROJECT_SOURCE_DIR}/parameters/pending_parameter_slots.cpp)
endif()

# The graph viewer builds as its own libraries.
add_subdirectory(${PROJECT_SOURCE_DIR}/graphs ${CMAKE_BINARY_DIR}/graphs)
