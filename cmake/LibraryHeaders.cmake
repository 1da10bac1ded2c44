# SPDX-License-Identifier: GPL-2.0-or-later
# A library shows its users its own folder only, included as "folder/header.h": the folder is
# linked under a private include root of the target, so code that includes a layer it does not
# link fails to compile instead of working by accident.
function(pondrel_export_headers target folder)
    set(root ${CMAKE_BINARY_DIR}/include/${target})
    set(link ${root}/${folder})
    get_filename_component(parent ${link} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    file(CREATE_LINK ${CMAKE_SOURCE_DIR}/src/${folder} ${link} SYMBOLIC)
    target_include_directories(${target} PUBLIC ${root})
endfunction()
