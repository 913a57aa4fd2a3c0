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

# quillery_library(name [ENGINE|UI] SOURCES ... LIBS ...)
# ENGINE libraries link Qt Core, Sql and Xml only, so a widget header in engine code
# fails to compile.
function(quillery_library name)
    cmake_parse_arguments(ARG "ENGINE;UI" "" "SOURCES;LIBS" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/..)
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
