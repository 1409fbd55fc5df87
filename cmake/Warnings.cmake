# Warning and sanitizer options that every target of the project carries.
function(mif_target_options target)
    if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
        target_compile_options(${target} PRIVATE
            -Wall -Wextra -pedantic -Wundef -Wshadow -Wcast-align -Wcast-qual
            -Wold-style-cast -Wdouble-promotion)
        if(MIF_WERROR)
            target_compile_options(${target} PRIVATE -Werror)
        endif()
        if(MIF_SANITIZE)
            target_compile_options(${target} PRIVATE
                -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
            target_link_options(${target} PRIVATE -fsanitize=address,undefined)
        endif()
    elseif(MSVC)
        target_compile_options(${target} PRIVATE /W4 $<$<BOOL:${MIF_WERROR}>:/WX>)
    endif()
endfunction()
