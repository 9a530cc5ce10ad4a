# Windows build: kestrel.exe (GUI subsystem, static runtime, system DLLs only) and the e2e helpers.
add_link_options(-static -static-libgcc -static-libstdc++)
add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)

file(GLOB_RECURSE KESTREL_WIN32_SOURCES CONFIGURE_DEPENDS src/*/win32/*.cpp)
# The platform layer is shared with the e2e test programs; the windows of the program are not.
set(KESTREL_PLATFORM_WIN32 ${KESTREL_WIN32_SOURCES})
list(FILTER KESTREL_PLATFORM_WIN32 INCLUDE REGEX "/platform/win32/")
add_library(kestrel_win32_platform STATIC ${KESTREL_PLATFORM_WIN32})
target_link_libraries(kestrel_win32_platform PUBLIC kestrel_core advapi32 user32 gdi32 shell32 ole32 bcrypt)

list(FILTER KESTREL_WIN32_SOURCES EXCLUDE REGEX "/platform/win32/")
add_executable(kestrel WIN32 ${KESTREL_WIN32_SOURCES} res/kestrel.rc)
target_include_directories(kestrel PRIVATE res)
target_link_libraries(kestrel PRIVATE kestrel_win32_platform comctl32 uxtheme gdi32 user32 shell32 advapi32 bcrypt)

# End-to-end test programs: each .cpp directly under tests/e2e is one console program.
file(GLOB KESTREL_E2E_PROGRAMS CONFIGURE_DEPENDS tests/e2e/*.cpp)
foreach(src ${KESTREL_E2E_PROGRAMS})
    get_filename_component(name ${src} NAME_WE)
    add_executable(${name} ${src})
    target_link_libraries(${name} PRIVATE kestrel_win32_platform user32 gdi32 advapi32 shell32)
    target_include_directories(${name} PRIVATE tests)
    list(APPEND KESTREL_E2E_TARGETS ${name})
endforeach()
# The tests start helper_*.exe programs as stand-ins: building a test builds its helpers.
foreach(name ${KESTREL_E2E_TARGETS})
    if(NOT name MATCHES "^helper_")
        foreach(helper ${KESTREL_E2E_TARGETS})
            if(helper MATCHES "^helper_")
                add_dependencies(${name} ${helper})
            endif()
        endforeach()
    endif()
endforeach()

# The installer and the Wine-side measuring program.
include(cmake/installer.cmake)
