# Compiler settings and helpers shared by every folder.

set(QUILLERY_WARNINGS -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wcast-align
    -Woverloaded-virtual)
# GCC 12 reports -Wrestrict inside std::string's own code at -O3 (a false positive of
# that compiler); only there is the warning off.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_GREATER_EQUAL 12
   AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    list(APPEND QUILLERY_WARNINGS -Wno-restrict)
endif()

if(QUILLERY_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
                        -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
endif()

add_compile_definitions(
    QUILLERY_VERSION_MAJOR=${PROJECT_VERSION_MAJOR}
    QUILLERY_VERSION_MINOR=${PROJECT_VERSION_MINOR}
    QUILLERY_VERSION_TEXT="${PROJECT_VERSION}"
    QT_NO_KEYWORDS
    QT_NO_CAST_FROM_ASCII
    QT_NO_CAST_TO_ASCII)

# Every library publishes only its own headers: a tree under the build folder that mirrors
# them at their root-relative paths ("browser/db/CAdoManager.h"), made of links at
# configure time. A target reaches a header only through a library it links, so an
# include across the layers fails to compile. The library's own sources use the same
# tree.
function(quillery_publish_headers target)
    set(root ${CMAKE_BINARY_DIR}/include/${target})
    file(REMOVE_RECURSE ${root})
    file(MAKE_DIRECTORY ${root})
    foreach(source IN LISTS ARGN)
        if(NOT source MATCHES "\\.h$")
            continue()
        endif()
        cmake_path(ABSOLUTE_PATH source BASE_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}
                   NORMALIZE OUTPUT_VARIABLE header)
        file(RELATIVE_PATH relative ${CMAKE_SOURCE_DIR} ${header})
        cmake_path(GET relative PARENT_PATH folder)
        file(MAKE_DIRECTORY ${root}/${folder})
        file(CREATE_LINK ${header} ${root}/${relative} SYMBOLIC)
    endforeach()
    target_include_directories(${target} PUBLIC ${root})
endfunction()

# Records a target for the include check (tests/layers): its folder and sources.
function(quillery_register_layer target)
    set(files)
    foreach(source IN LISTS ARGN)
        if(source MATCHES "\\.(h|cpp)$")
            cmake_path(ABSOLUTE_PATH source BASE_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}
                       NORMALIZE OUTPUT_VARIABLE file)
            list(APPEND files ${file})
        endif()
    endforeach()
    set_property(TARGET ${target} PROPERTY QUILLERY_LAYER_FILES ${files})
    set_property(GLOBAL APPEND PROPERTY QUILLERY_LAYER_TARGETS ${target})
endfunction()

# quillery_library(name [ENGINE|UI] SOURCES ... LIBS ...)
# ENGINE libraries link Qt Core, Sql and Xml only, so a widget header in engine code
# fails to compile.
function(quillery_library name)
    cmake_parse_arguments(ARG "ENGINE;UI" "" "SOURCES;LIBS" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    quillery_publish_headers(${name} ${ARG_SOURCES})
    quillery_register_layer(${name} ${ARG_SOURCES})
    target_compile_options(${name} PRIVATE ${QUILLERY_WARNINGS})
    if(ARG_ENGINE)
        target_link_libraries(${name} PUBLIC Qt6::Core ${ARG_LIBS})
    else()
        target_link_libraries(${name} PUBLIC ${ARG_LIBS})
    endif()
    set_target_properties(${name} PROPERTIES POSITION_INDEPENDENT_CODE ON)
endfunction()

function(quillery_program name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    quillery_register_layer(${name} ${ARG_SOURCES})
    target_compile_options(${name} PRIVATE ${QUILLERY_WARNINGS})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS})
    add_dependencies(${name} quillery_data)
endfunction()

# Installs a program under the name of its command ("Kestrel" as "kestrel"), stripped
# when the install strips (cmake --install --strip, cpack).
function(quillery_install_program target name)
    install(PROGRAMS $<TARGET_FILE:${target}> DESTINATION ${CMAKE_INSTALL_BINDIR} RENAME ${name})
    install(CODE "
        if(CMAKE_INSTALL_DO_STRIP)
            execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-unneeded
                                    --remove-section=.comment --remove-section=.note
                \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/${name}\")
        endif()")
endfunction()

# Copies a data folder of the source tree into the app folder on every build.
if(NOT TARGET quillery_data)
    add_custom_target(quillery_data ALL)
endif()
function(quillery_copy_data_folder folder)
    add_custom_command(TARGET quillery_data POST_BUILD
        COMMAND ${CMAKE_COMMAND} -E copy_directory
                ${CMAKE_SOURCE_DIR}/${folder} ${QUILLERY_APP_DIR}/${folder}
        VERBATIM)
endfunction()

if(QUILLERY_FUZZ)
    # Coverage for libFuzzer in every library the fuzz targets link.
    add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
endif()

# The targets a target may include from: itself and what it links, followed through
# what each library passes on to its dependants.
function(quillery_layer_closure target out)
    set(seen ${target})
    get_target_property(pending ${target} LINK_LIBRARIES)
    if(NOT pending)
        set(pending)
    endif()
    list(LENGTH pending left)
    while(left GREATER 0)
        list(POP_FRONT pending item)
        list(LENGTH pending left)
        if(NOT TARGET "${item}" OR item IN_LIST seen)
            continue()
        endif()
        get_target_property(aliased ${item} ALIASED_TARGET)
        if(aliased)
            continue()
        endif()
        list(APPEND seen ${item})
        get_target_property(passed ${item} INTERFACE_LINK_LIBRARIES)
        if(passed)
            foreach(next IN LISTS passed)
                if(NOT next MATCHES "^\\$<")
                    list(APPEND pending ${next})
                endif()
            endforeach()
        endif()
        list(LENGTH pending left)
    endwhile()
    set(${out} ${seen} PARENT_SCOPE)
endfunction()

# Writes what the include check reads: the folders includes are looked up in, and for
# each registered target its files and the targets it may include from.
function(quillery_write_layer_manifest)
    set(file ${CMAKE_BINARY_DIR}/layers.txt)
    get_property(targets GLOBAL PROPERTY QUILLERY_LAYER_TARGETS)
    set(text "root ${CMAKE_SOURCE_DIR}\n")
    foreach(target IN LISTS targets)
        get_target_property(folders ${target} INCLUDE_DIRECTORIES)
        foreach(folder IN LISTS folders)
            cmake_path(IS_PREFIX CMAKE_SOURCE_DIR "${folder}" in_sources)
            cmake_path(IS_PREFIX CMAKE_BINARY_DIR "${folder}" in_build)
            if(in_sources AND NOT in_build)
                string(APPEND text "root ${folder}\n")
            endif()
        endforeach()
    endforeach()
    foreach(target IN LISTS targets)
        quillery_layer_closure(${target} links)
        list(JOIN links " " links)
        string(APPEND text "target ${target}\nlinks ${links}\n")
        get_target_property(files ${target} QUILLERY_LAYER_FILES)
        foreach(file_name IN LISTS files)
            string(APPEND text "file ${file_name}\n")
        endforeach()
    endforeach()
    file(CONFIGURE OUTPUT ${file} CONTENT "${text}")
endfunction()
