# Warning and language settings shared by every target of the tree.
function(volux_target_settings target)
  target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:C,CXX>:-Wall -Wextra>)
  if(WIN32)
    # UNICODE Win32 entry points; C99 printf family so floating-point digits match Linux.
    target_compile_definitions(${target} PRIVATE UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX
                               __USE_MINGW_ANSI_STDIO=1 _WIN32_WINNT=0x0601)
  endif()
endfunction()
