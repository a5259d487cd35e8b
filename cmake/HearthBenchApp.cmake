# The Hearth Bench program, one library per area and layer:
#   pyrolink < board < Widgets-free cores (app, parameters, hwtest, monitor, graphs, admin)
#            < pages (one Widgets library per area) < window < the executable.
# A library sees the headers of the areas it links and of no other: each area's public include root
# holds only that area's folder, so an include that runs up the layers does not compile and a call
# that does is not resolved by the linker.

# hb_area(<target> <folder> [WIDGETS] SOURCES ... LINKS ...)
function(hb_area target folder)
    cmake_parse_arguments(AREA "WIDGETS" "" "SOURCES;LINKS" ${ARGN})
    add_library(${target} STATIC ${AREA_SOURCES})
    set(root ${PROJECT_BINARY_DIR}/include-roots/${folder})
    if(NOT EXISTS ${root}/${folder})
        file(MAKE_DIRECTORY ${root})
        file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${folder} ${root}/${folder} SYMBOLIC)
    endif()
    target_include_directories(${target} PUBLIC ${root})
    target_link_libraries(${target} PUBLIC ${AREA_LINKS} Qt6::Core)
    if(AREA_WIDGETS)
        target_link_libraries(${target} PUBLIC Qt6::Gui Qt6::Widgets)
    endif()
endfunction()

add_subdirectory(board)
add_subdirectory(app)
add_subdirectory(Resources)
add_subdirectory(parameters)
add_subdirectory(hwtest)
add_subdirectory(monitor)
add_subdirectory(admin)
add_subdirectory(graphs)
add_subdirectory(ui)
