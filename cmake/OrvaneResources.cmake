# Resources made at build time, shared by the programs.

# orvane_compiled_resources(<name> <prefix> <output var> <file>...): compiles
# files made at build time into a resource bundle <name> under <prefix>, each
# under its own file name (register it with Q_INIT_RESOURCE(<name>)).
function(orvane_compiled_resources name prefix output)
    set(qrc ${CMAKE_CURRENT_BINARY_DIR}/${name}.qrc)
    set(text "<RCC>\n    <qresource prefix=\"${prefix}\">\n")
    foreach(file ${ARGN})
        get_filename_component(alias ${file} NAME)
        file(RELATIVE_PATH relative ${CMAKE_CURRENT_BINARY_DIR} ${file})
        string(APPEND text "        <file alias=\"${alias}\">${relative}</file>\n")
    endforeach()
    string(APPEND text "    </qresource>\n</RCC>\n")
    file(WRITE ${qrc} "${text}")
    set(cpp ${CMAKE_CURRENT_BINARY_DIR}/qrc_${name}.cpp)
    add_custom_command(OUTPUT ${cpp}
        COMMAND Qt5::rcc --name ${name} --output ${cpp} ${qrc}
        DEPENDS ${ARGN} ${qrc}
        COMMENT "Compiling ${name} into resources")
    set_source_files_properties(${cpp} PROPERTIES SKIP_AUTOMOC ON SKIP_AUTOUIC ON)
    set(${output} ${cpp} PARENT_SCOPE)
endfunction()

# orvane_rendered_images(<name> <output var> <folder>): every SVG source in the
# folder rendered to the bitmap the code names (":/BackButton.png" for
# BackButton.svg) at build time, compiled into the resource bundle <name>.
function(orvane_rendered_images name output folder)
    file(GLOB sources CONFIGURE_DEPENDS ${folder}/*.svg)
    set(bitmaps)
    foreach(svg ${sources})
        get_filename_component(base ${svg} NAME_WE)
        set(png ${CMAKE_CURRENT_BINARY_DIR}/${name}/${base}.png)
        add_custom_command(OUTPUT ${png}
            COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/${name}
            COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0
                    $<TARGET_FILE:orvane-svgrender> ${svg} ${png}
            DEPENDS ${svg} orvane-svgrender
            COMMENT "Rendering ${base}.png")
        list(APPEND bitmaps ${png})
    endforeach()
    orvane_compiled_resources(${name} "/" resources ${bitmaps})
    set(${output} ${bitmaps} ${resources} PARENT_SCOPE)
endfunction()
