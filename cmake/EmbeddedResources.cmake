# SPDX-License-Identifier: GPL-2.0-or-later
# Resources compiled by rcc into one binary bundle and embedded as pondrel::<name>ResourceData,
# which the library registers with QResource::registerResource. Unlike rcc's generated C++,
# this leaves no qInitResources_*/qCleanupResources_* functions in the global namespace.
set(PONDREL_EMBED_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/EmbedFile.cmake)

function(pondrel_embed_resources target name qrc)
    get_filename_component(qrc_path ${qrc} ABSOLUTE)
    get_filename_component(qrc_dir ${qrc_path} DIRECTORY)
    file(STRINGS ${qrc_path} entries REGEX "<file[^>]*>")
    set(inputs ${qrc_path})
    foreach(entry IN LISTS entries)
        string(REGEX REPLACE ".*<file[^>]*>(.*)</file>.*" "\\1" file ${entry})
        list(APPEND inputs ${qrc_dir}/${file})
    endforeach()
    set(bundle ${CMAKE_CURRENT_BINARY_DIR}/${name}.rcc)
    set(source ${CMAKE_CURRENT_BINARY_DIR}/${name}_resource_data.cpp)
    add_custom_command(OUTPUT ${bundle}
        COMMAND Qt6::rcc --binary -o ${bundle} ${qrc_path}
        DEPENDS ${inputs} VERBATIM)
    add_custom_command(OUTPUT ${source}
        COMMAND ${CMAKE_COMMAND} -DINPUT=${bundle} -DOUTPUT=${source} -DNAME=${name}
            -P ${PONDREL_EMBED_SCRIPT}
        DEPENDS ${bundle} ${PONDREL_EMBED_SCRIPT} VERBATIM)
    set_source_files_properties(${source} PROPERTIES SKIP_AUTOGEN ON)
    target_sources(${target} PRIVATE ${source})
endfunction()
