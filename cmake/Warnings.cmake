# Warning and sanitizer options that every target of the project carries.
function(mif_target_options target)
    if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
        target_compile_options(${target} PRIVATE
            -Wall -Wextra -pedantic -Wundef -Wshadow -Wcast-align -Wcast-qual
            -Wold-style-cast -Wdouble-promotion)
        if(MIF_WERROR)
            target_compile_options(${target} PRIVATE -Werror)
        endif()
        if(MIF_SANITIZE OR MIF_FUZZ)
            target_compile_options(${target} PRIVATE
                -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
            target_link_options(${target} PRIVATE -fsanitize=address,undefined)
        endif()
        if(MIF_TSAN)
            target_compile_options(${target} PRIVATE -fsanitize=thread -fno-omit-frame-pointer)
            target_link_options(${target} PRIVATE -fsanitize=thread)
        endif()
    elseif(MSVC)
        # Sources are UTF-8. Exported classes hold standard containers, which the warnings 4251
        # and 4275 would flag in every header of the host library.
        target_compile_options(${target} PRIVATE /W4 $<$<BOOL:${MIF_WERROR}>:/WX> /utf-8
                                                 /wd4251 /wd4275)
        target_compile_definitions(${target} PRIVATE _CRT_SECURE_NO_WARNINGS)
    endif()
    if(WIN32)
        # std::min and std::max stay usable beside <windows.h>.
        target_compile_definitions(${target} PRIVATE NOMINMAX)
    endif()
endfunction()
