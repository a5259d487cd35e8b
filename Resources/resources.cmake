# The pictures of the program: SVG drawings in Resources/icons rendered to PNG at build time and
# compiled into the resource bundle under ":/icons/Resources/" and ":/images/Resources/".
set(HB_RES_DIR ${PROJECT_SOURCE_DIR}/Resources)
set(HB_RES_OUT ${PROJECT_BINARY_DIR}/Resources)
file(MAKE_DIRECTORY ${HB_RES_OUT}/icons ${HB_RES_OUT}/images)

add_executable(hb_render_icons ${HB_RES_DIR}/render_icons.cpp)
target_link_libraries(hb_render_icons PRIVATE Qt6::Gui Qt6::Svg)

set(HB_ICONS admin caution confirmed debug digitalinput digitalinputoff doublegear esc fire greenled
    language ledoff memo microcontroller next open previous rec redled save setall setup stop viewall
    viewgraphics yellowled)

set(hb_icon_args)
set(hb_icon_pngs)
set(hb_icon_svgs)
set(hb_qrc_icons)
foreach(icon ${HB_ICONS})
    list(APPEND hb_icon_svgs ${HB_RES_DIR}/icons/${icon}.svg)
    list(APPEND hb_icon_args ${HB_RES_DIR}/icons/${icon}.svg:64x64)
    list(APPEND hb_icon_pngs ${HB_RES_OUT}/icons/${icon}.png)
    string(APPEND hb_qrc_icons "    <file alias=\"Resources/${icon}.png\">icons/${icon}.png</file>\n")
endforeach()

add_custom_command(
    OUTPUT ${hb_icon_pngs} ${HB_RES_OUT}/images/logo.png
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0
            $<TARGET_FILE:hb_render_icons> ${HB_RES_OUT}/icons ${hb_icon_args}
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0
            $<TARGET_FILE:hb_render_icons> ${HB_RES_OUT}/images ${HB_RES_DIR}/icons/logo.svg:360x110
    DEPENDS hb_render_icons ${hb_icon_svgs} ${HB_RES_DIR}/icons/logo.svg
    COMMENT "Rendering icons"
    VERBATIM)

file(WRITE ${HB_RES_OUT}/hearthbench.qrc.new
    "<RCC>\n  <qresource prefix=\"/icons\">\n${hb_qrc_icons}  </qresource>\n"
    "  <qresource prefix=\"/images\">\n    <file alias=\"Resources/logo.png\">images/logo.png</file>\n"
    "  </qresource>\n</RCC>\n")
file(COPY_FILE ${HB_RES_OUT}/hearthbench.qrc.new ${HB_RES_OUT}/hearthbench.qrc ONLY_IF_DIFFERENT)

add_custom_command(
    OUTPUT ${HB_RES_OUT}/qrc_hearthbench.cpp
    COMMAND Qt6::rcc --name hearthbench --output ${HB_RES_OUT}/qrc_hearthbench.cpp ${HB_RES_OUT}/hearthbench.qrc
    DEPENDS ${HB_RES_OUT}/hearthbench.qrc ${hb_icon_pngs} ${HB_RES_OUT}/images/logo.png
    COMMENT "Compiling the resource bundle"
    VERBATIM)
set_source_files_properties(${HB_RES_OUT}/qrc_hearthbench.cpp PROPERTIES SKIP_AUTOGEN ON)
target_sources(hbgui PRIVATE ${HB_RES_OUT}/qrc_hearthbench.cpp)
