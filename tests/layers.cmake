# cmake -D COMPILER=... -D INCLUDES=a|b -D LAYER=common -D FORBIDDEN=tracking|history
#       -D SOURCES=src -D WORK=dir -P layers.cmake
# Plants an include of one header of each FORBIDDEN layer and preprocesses it
# with the include directories of LAYER's target: each must be refused with
# the layering error. Only the layer's include root may hold those layers'
# directories (a header added since the last configure has no stand-in
# there). An include that climbs out with ".." would pass by the include
# roots, so LAYER's sources must have none.
string(REPLACE "|" ";" directories "${INCLUDES}")
string(REPLACE "|" ";" forbidden "${FORBIDDEN}")
foreach(directory IN LISTS directories)
    foreach(other IN LISTS forbidden)
        if(NOT directory MATCHES "/layers/${LAYER}$" AND IS_DIRECTORY ${directory}/${other})
            message(FATAL_ERROR "src/${LAYER} sees ${directory}/${other}")
        endif()
    endforeach()
endforeach()
list(TRANSFORM directories PREPEND -I OUTPUT_VARIABLE includes)
foreach(other IN LISTS forbidden)
    file(GLOB headers RELATIVE ${SOURCES} ${SOURCES}/${other}/*.h)
    list(SORT headers)
    list(GET headers 0 header)
    set(planted ${WORK}/${LAYER}_includes_${other}.cpp)
    file(WRITE ${planted} "#include \"${header}\"\n")
    execute_process(COMMAND ${COMPILER} ${includes} -E ${planted} -o ${planted}.i
                    RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
    if(status EQUAL 0 OR NOT output MATCHES "src/${LAYER} may not include ${header}")
        message(FATAL_ERROR "src/${LAYER} could include ${header} (status ${status}):\n${output}")
    endif()
endforeach()

file(GLOB_RECURSE sources ${SOURCES}/${LAYER}/*.cpp ${SOURCES}/${LAYER}/*.h)
foreach(source IN LISTS sources)
    file(STRINGS ${source} climbing REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<]([^\">]*/)?\\.\\./")
    if(climbing)
        message(FATAL_ERROR "${source} includes by \"..\": ${climbing}")
    endif()
endforeach()
