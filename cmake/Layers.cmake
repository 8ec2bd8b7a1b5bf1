# quorval_layer(NAME [LAYERS lower...] [QT qt-targets...] [LIBS other...] [EXCLUDE file...])
#   The folder NAME/ as the static library quorval_NAME: every .cpp in it (but
#   the EXCLUDEd ones, programs' main files) linked to the layers named, which
#   must be defined before. Its includes may name its own folder and the
#   folders of the layers it links to, directly or through them.
# quorval_program(TARGET FOLDER [LAYERS lower...])
#   A program made of every .cpp of FOLDER, checked the same way.

function(quorval_allowed out)
    set(allowed quorval)  # the generated Version.h
    foreach(layer ${ARGN})
        get_property(below GLOBAL PROPERTY QUORVAL_LAYER_${layer})
        list(APPEND allowed ${layer} ${below})
    endforeach()
    list(REMOVE_DUPLICATES allowed)
    set(${out} ${allowed} PARENT_SCOPE)
endfunction()

function(quorval_check_includes target folder)
    file(GLOB files CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${folder}/*.cpp
                                      ${PROJECT_SOURCE_DIR}/${folder}/*.h)
    set(stamp ${CMAKE_BINARY_DIR}/layers/${target}.checked)
    string(REPLACE ";" "," allowed "${ARGN}")
    add_custom_command(OUTPUT ${stamp}
        COMMAND ${CMAKE_COMMAND} -DFOLDER=${folder} -DALLOWED=${allowed} -DSTAMP=${stamp}
                -P ${PROJECT_SOURCE_DIR}/cmake/CheckLayer.cmake ${files}
        DEPENDS ${files} ${PROJECT_SOURCE_DIR}/cmake/CheckLayer.cmake
        COMMENT "Checking the includes of ${folder}/"
        VERBATIM)
    add_custom_target(${target}_layer_check DEPENDS ${stamp})
    add_dependencies(${target} ${target}_layer_check)
endfunction()

function(quorval_layer name)
    cmake_parse_arguments(L "" "" "LAYERS;QT;LIBS;EXCLUDE" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${name}/*.cpp)
    foreach(skip ${L_EXCLUDE})
        list(REMOVE_ITEM sources ${PROJECT_SOURCE_DIR}/${name}/${skip})
    endforeach()
    set(target quorval_${name})
    add_library(${target} STATIC ${sources})
    target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
    set(lower)
    foreach(layer ${L_LAYERS})
        list(APPEND lower quorval_${layer})
    endforeach()
    target_link_libraries(${target} PUBLIC ${lower} ${L_QT} ${L_LIBS})
    quorval_allowed(allowed ${L_LAYERS})
    list(APPEND allowed ${name})
    set_property(GLOBAL PROPERTY QUORVAL_LAYER_${name} ${allowed})
    quorval_check_includes(${target} ${name} ${allowed})
endfunction()

function(quorval_program target folder)
    cmake_parse_arguments(P "" "" "LAYERS" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${folder}/*.cpp)
    add_executable(${target} ${sources})
    set(lower)
    foreach(layer ${P_LAYERS})
        list(APPEND lower quorval_${layer})
    endforeach()
    target_link_libraries(${target} PRIVATE ${lower})
    quorval_allowed(allowed ${P_LAYERS})
    quorval_check_includes(${target} ${folder} ${allowed} ${folder})
endfunction()
