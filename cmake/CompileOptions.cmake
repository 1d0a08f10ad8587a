# Compile options shared by every target of the project.
option(VELTRANO_WERROR "Treat warnings as errors" ON)
option(VELTRANO_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)

function(veltrano_target_options target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor)
  if(VELTRANO_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
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
