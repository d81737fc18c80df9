# The layers of src/, each a target of its own that links only the layers
# below it. A target sees the headers through an include root of its layer,
# build/layers/LAYER/, which links to its own and the lower layers'
# directories and holds, for every header of any other layer, a stand-in that
# stops the build with the reason: an include that runs upward, or from
# tracking into history or back, fails to compile.
set(SIZEWALK_LAYERS platform common tracking history window startup)
set(SIZEWALK_BELOW_platform "")
set(SIZEWALK_BELOW_common platform)
set(SIZEWALK_BELOW_tracking common platform)
set(SIZEWALK_BELOW_history common platform)
set(SIZEWALK_BELOW_window tracking history common platform)
set(SIZEWALK_BELOW_startup window tracking history common platform)

function(sizewalk_make_layer_root layer root)
    set(sources ${PROJECT_SOURCE_DIR}/src)
    file(MAKE_DIRECTORY ${root})
    foreach(other IN LISTS SIZEWALK_LAYERS)
        set(path ${root}/${other})
        if(other STREQUAL layer OR other IN_LIST SIZEWALK_BELOW_${layer})
            if(IS_SYMLINK ${path})
                file(READ_SYMLINK ${path} target)
                if(target STREQUAL ${sources}/${other})
                    continue()
                endif()
                file(REMOVE ${path})
            endif()
            file(REMOVE_RECURSE ${path})
            file(CREATE_LINK ${sources}/${other} ${path} SYMBOLIC)
        else()
            if(IS_SYMLINK ${path})
                file(REMOVE ${path})
            endif()
            file(GLOB_RECURSE headers RELATIVE ${sources}/${other} ${sources}/${other}/*.h)
            foreach(header IN LISTS headers)
                file(CONFIGURE OUTPUT ${path}/${header} CONTENT
                     "#error \"src/${layer} may not include ${other}/${header}: a layer \
includes only its own headers and those of the layers below it\"\n")
            endforeach()
        endif()
    endforeach()
endfunction()

# Gives target the include root of layer, made on first use.
function(sizewalk_layer target layer)
    if(NOT layer IN_LIST SIZEWALK_LAYERS)
        message(FATAL_ERROR "${target}: no layer ${layer}")
    endif()
    set(root ${PROJECT_BINARY_DIR}/layers/${layer})
    get_property(made GLOBAL PROPERTY SIZEWALK_LAYER_ROOT_${layer})
    if(NOT made)
        sizewalk_make_layer_root(${layer} ${root})
        set_property(GLOBAL PROPERTY SIZEWALK_LAYER_ROOT_${layer} TRUE)
    endif()
    target_include_directories(${target} PRIVATE ${root})
endfunction()
