# Warning and language settings shared by every target of the tree.
function(volux_target_settings target)
  target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:C,CXX>:-Wall -Wextra>)
  if(WIN32)
    # UNICODE Win32 entry points; C99 printf family so floating-point digits match Linux.
    target_compile_definitions(${target} PRIVATE UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX
                               __USE_MINGW_ANSI_STDIO=1 _WIN32_WINNT=0x0601)
    # Unused functions and data are dropped at link time (see the link options at the top).
    target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:C,CXX>:-ffunction-sections -fdata-sections>)
    if(CMAKE_SIZEOF_VOID_P EQUAL 4 AND NOT target MATCHES "_tests$")
      # The shipped 32-bit program throws no C++ exceptions and asks for no run-time type
      # information: without them it carries no unwind tables, which keeps it small. (Lua errors
      # need none on this target; the 64-bit build keeps its tables, which its unwinder reads.)
      # The test programs keep both for the test framework.
      target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:-fno-exceptions -fno-rtti>
                             $<$<COMPILE_LANGUAGE:C,CXX>:-fno-asynchronous-unwind-tables>)
    endif()
  endif()
endfunction()
