# Warnings are errors in our own code; third-party headers come in as system
# includes and stay out of it.
function(kvellary_warnings target)
    if(MSVC)
        target_compile_options(${target} PRIVATE /W4 /WX /utf-8)
    else()
        target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
    endif()
endfunction()
