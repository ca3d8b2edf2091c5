# Every narrow literal of the program is Shift-JIS text at run time, while the sources stay
# UTF-8 (README, "Shift-JIS literals"):
#   - g++ (Linux and mingw-w64) converts them itself: -fexec-charset=CP932;
#   - any other compiler (clang) gets them through a compiler launcher,
#     tools/sjis-literals/sjis-cc.sh, that writes them as escapes of their Shift-JIS bytes
#     on their way to the compiler. compile_commands.json keeps the plain compile command
#     of the real source, which clangd and clang-tidy read as it is.
# Include this after tools/sjis-literals and before any target of the program.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  add_compile_options(-finput-charset=UTF-8 -fexec-charset=CP932)
elseif(TARGET sjis-literals)
  set(CMAKE_CXX_COMPILER_LAUNCHER
      ${PROJECT_SOURCE_DIR}/tools/sjis-literals/sjis-cc.sh
      ${TAVELIN_SJIS_LITERALS_PROGRAM} ${CMAKE_CXX_COMPILER_LAUNCHER})
else()
  message(FATAL_ERROR "${CMAKE_CXX_COMPILER_ID} has no Shift-JIS execution character set, and "
                      "the literal rewriter (tools/sjis-literals) is built on Linux only")
endif()

# Every target compiled through the launcher waits for the rewriter. Call it once all
# targets exist.
function(tavelin_literals_after_rewriter)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    return()
  endif()
  set(folders ${PROJECT_SOURCE_DIR})
  while(folders)
    list(POP_FRONT folders folder)
    get_property(subfolders DIRECTORY ${folder} PROPERTY SUBDIRECTORIES)
    list(APPEND folders ${subfolders})
    get_property(targets DIRECTORY ${folder} PROPERTY BUILDSYSTEM_TARGETS)
    foreach(target IN LISTS targets)
      get_target_property(type ${target} TYPE)
      get_target_property(launcher ${target} CXX_COMPILER_LAUNCHER)
      if(NOT type STREQUAL "INTERFACE_LIBRARY" AND NOT type STREQUAL "UTILITY"
         AND launcher MATCHES "sjis-cc")
        add_dependencies(${target} sjis-literals)
      endif()
    endforeach()
  endwhile()
endfunction()
