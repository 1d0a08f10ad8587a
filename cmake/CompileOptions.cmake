# Compile options shared by every target of the project.
option(VELTRANO_WERROR "Treat warnings as errors" ON)
option(VELTRANO_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(VELTRANO_FUZZ "Build the libFuzzer targets (clang; flags in the fuzz preset)" OFF)

if(MINGW)
  # Reproducible programs: no link time in the PE headers, so one commit always gives the same bytes.
  add_link_options(-Wl,--no-insert-timestamp)
  # windres hands its include folders to the preprocessor through the shell, escaping blanks alone:
  # a checkout whose path holds '&', ';' or a quote would break it. The resource scripts' one folder
  # is given relative to the build folder instead (veltrano_windows_program), and no other.
  set(CMAKE_RC_COMPILE_OBJECT "<CMAKE_RC_COMPILER> -O coff <DEFINES> <FLAGS> <SOURCE> <OBJECT>")
endif()

if(MSVC)
  # One program file each, as with mingw-w64's static runtime.
  set(CMAKE_MSVC_RUNTIME_LIBRARY "MultiThreaded$<$<CONFIG:Debug>:Debug>")
endif()

function(veltrano_target_options target)
  if(MSVC)
    # Sources are UTF-8 (the Italian texts); /permissive- for standard C++.
    target_compile_options(${target} PRIVATE /W4 /utf-8 /permissive- /Zc:__cplusplus)
    if(VELTRANO_WERROR)
      target_compile_options(${target} PRIVATE /WX)
    endif()
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor)
    if(VELTRANO_WERROR)
      target_compile_options(${target} PRIVATE -Werror)
    endif()
  endif()
  if(WIN32)
    # Windows 7 and later; no min/max macros to break std::min.
    target_compile_definitions(${target} PRIVATE _WIN32_WINNT=0x0601 WINVER=0x0601 NOMINMAX)
  endif()
  if(VELTRANO_SANITIZE)
    target_compile_options(${target} PRIVATE -fsanitize=address,undefined -fno-omit-frame-pointer
                                             -fno-sanitize-recover=undefined)
    target_link_options(${target} PRIVATE -fsanitize=address,undefined)
  endif()
endfunction()

# The programs keep their Windows file names on every platform.
function(veltrano_windows_name target name)
  set_target_properties(${target} PROPERTIES OUTPUT_NAME ${name} SUFFIX ".exe")
endfunction()

# A Windows GUI program with its resource script (icon, version, manifest; paths in the script are
# from the repository root) and the files the script takes in, which the resource compiler does not
# report as its dependencies. MSVC is told to start at main() and to leave the manifest to the script.
function(veltrano_windows_program target rc_file)
  set_target_properties(${target} PROPERTIES WIN32_EXECUTABLE ON)
  target_sources(${target} PRIVATE ${rc_file})
  if(MINGW)
    file(RELATIVE_PATH root_from_build ${CMAKE_BINARY_DIR} ${PROJECT_SOURCE_DIR})
    if(root_from_build STREQUAL "")
      set(root_from_build .)
    endif()
    set_property(SOURCE ${rc_file} APPEND PROPERTY COMPILE_OPTIONS --include-dir=${root_from_build})
  else()
    set_property(SOURCE ${rc_file} APPEND PROPERTY INCLUDE_DIRECTORIES ${PROJECT_SOURCE_DIR})
  endif()
  set_property(SOURCE ${rc_file} APPEND PROPERTY OBJECT_DEPENDS ${ARGN})
  if(MSVC)
    target_link_options(${target} PRIVATE /ENTRY:mainCRTStartup /MANIFEST:NO)
  endif()
endfunction()
