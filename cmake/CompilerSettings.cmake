# Warnings, sanitizers and the settings every Windows binary of the project shares.

function(scriptfonts_compiler_settings target)
    if(MSVC)
        target_compile_options(${target} PRIVATE /W4 /permissive- /utf-8)
        if(SCRIPTFONTS_WERROR)
            target_compile_options(${target} PRIVATE /WX)
        endif()
    else()
        target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow)
        if(SCRIPTFONTS_WERROR)
            target_compile_options(${target} PRIVATE -Werror)
        endif()
    endif()
    if(WIN32)
        target_compile_definitions(${target} PRIVATE UNICODE _UNICODE _WIN32_WINNT=0x0601)
    endif()
    if(MINGW)
        target_compile_options(${target} PRIVATE -fstack-protector-strong)
        target_link_options(${target} PRIVATE -fstack-protector-strong)
    endif()
    if(SCRIPTFONTS_SANITIZE AND NOT MSVC)
        target_compile_options(${target} PRIVATE -fsanitize=address,undefined -fno-sanitize-recover=all
                                                 -fno-omit-frame-pointer)
        target_link_options(${target} PRIVATE -fsanitize=address,undefined)
    endif()
endfunction()

# A Windows binary that is loaded into, or run beside, a third-party process:
# no runtime DLLs of the toolchain, and the system's exploit mitigations on.
function(scriptfonts_windows_binary target)
    if(MINGW)
        target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++
                            -Wl,--dynamicbase -Wl,--high-entropy-va -Wl,--nxcompat
                            # What ships carries no debug sections (the static runtime brings some).
                            $<$<CONFIG:Release,MinSizeRel>:-s>)
    elseif(MSVC)
        target_compile_options(${target} PRIVATE /GS /guard:cf)
        target_link_options(${target} PRIVATE /DYNAMICBASE /HIGHENTROPYVA /NXCOMPAT /GUARD:CF)
        set_property(TARGET ${target} PROPERTY MSVC_RUNTIME_LIBRARY "MultiThreaded$<$<CONFIG:Debug>:Debug>")
    endif()
endfunction()
