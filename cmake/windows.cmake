# Windows build: kestrel.exe (GUI subsystem, static runtime, system DLLs only) and the e2e helpers.
add_link_options(-static -static-libgcc -static-libstdc++)
add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)

# kestrel_sign(<target>): the program, and every other program that is shipped, is signed when a certificate is given.
include(cmake/signing.cmake)

# The sentences of the program's events: windmc turns res/kestrel_events.mc into a message table (an .rc with its
# .bin, linked into kestrel.exe) and a header of the message identifiers for the platform's event log.
find_program(KESTREL_WINDMC NAMES x86_64-w64-mingw32-windmc windmc REQUIRED)
set(KESTREL_EVENTS_DIR ${CMAKE_BINARY_DIR}/generated)
set(KESTREL_EVENTS_OUTPUTS ${KESTREL_EVENTS_DIR}/kestrel_events.h ${KESTREL_EVENTS_DIR}/kestrel_events.rc
                           ${KESTREL_EVENTS_DIR}/kestrel_events_MSG00409.bin)
add_custom_command(
    OUTPUT ${KESTREL_EVENTS_OUTPUTS}
    # -U: the messages in UTF-16, as the event viewer reads them; -b: the .bin named after the .mc.
    COMMAND ${KESTREL_WINDMC} -U -b -h ${KESTREL_EVENTS_DIR} -r ${KESTREL_EVENTS_DIR}
            ${CMAKE_SOURCE_DIR}/res/kestrel_events.mc
    DEPENDS ${CMAKE_SOURCE_DIR}/res/kestrel_events.mc
    COMMENT "Compiling the event messages"
    VERBATIM)

file(GLOB_RECURSE KESTREL_WIN32_SOURCES CONFIGURE_DEPENDS src/*/win32/*.cpp)
# The platform layer is shared with the e2e test programs; the windows of the program are not.
set(KESTREL_PLATFORM_WIN32 ${KESTREL_WIN32_SOURCES})
list(FILTER KESTREL_PLATFORM_WIN32 INCLUDE REGEX "/platform/win32/")
add_library(kestrel_win32_platform STATIC ${KESTREL_PLATFORM_WIN32} ${KESTREL_EVENTS_DIR}/kestrel_events.h)
target_link_libraries(kestrel_win32_platform PUBLIC kestrel_core advapi32 user32 gdi32 shell32 ole32 bcrypt)

list(FILTER KESTREL_WIN32_SOURCES EXCLUDE REGEX "/platform/win32/")
# The guard (kestrel-guard.exe, the service that keeps Kestrel running) is a program of its own.
set(KESTREL_GUARD_WIN32 ${KESTREL_WIN32_SOURCES})
list(FILTER KESTREL_GUARD_WIN32 INCLUDE REGEX "/guard/win32/")
list(FILTER KESTREL_WIN32_SOURCES EXCLUDE REGEX "/guard/win32/")
add_executable(kestrel WIN32 ${KESTREL_WIN32_SOURCES} res/kestrel.rc ${KESTREL_EVENTS_DIR}/kestrel_events.rc)
target_include_directories(kestrel PRIVATE res)
target_link_libraries(kestrel PRIVATE kestrel_win32_platform comctl32 uxtheme gdi32 user32 shell32 advapi32 bcrypt)
kestrel_sign(kestrel)

add_executable(kestrel-guard WIN32 ${KESTREL_GUARD_WIN32} res/guard.rc)
target_include_directories(kestrel-guard PRIVATE res)
target_link_libraries(kestrel-guard PRIVATE kestrel_win32_platform wtsapi32 userenv advapi32)
kestrel_sign(kestrel-guard)

# The user's guide (docs/guide: kestrel-guide.html and its pictures in kestrel-guide/) goes beside kestrel.exe, as
# the installer puts it: Help opens it, also from the build folder.
set(KESTREL_GUIDE_DIR ${CMAKE_SOURCE_DIR}/docs/guide)
file(GLOB KESTREL_GUIDE_PICTURES CONFIGURE_DEPENDS ${KESTREL_GUIDE_DIR}/kestrel-guide/*.png)
set(KESTREL_GUIDE_FILES ${KESTREL_GUIDE_DIR}/kestrel-guide.html ${KESTREL_GUIDE_PICTURES})
set(KESTREL_GUIDE_COPIES)
foreach(file ${KESTREL_GUIDE_FILES})
    file(RELATIVE_PATH name ${KESTREL_GUIDE_DIR} ${file})
    get_filename_component(folder ${CMAKE_BINARY_DIR}/${name} DIRECTORY)
    add_custom_command(
        OUTPUT ${CMAKE_BINARY_DIR}/${name}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}
        COMMAND ${CMAKE_COMMAND} -E copy ${file} ${CMAKE_BINARY_DIR}/${name}
        DEPENDS ${file}
        VERBATIM)
    list(APPEND KESTREL_GUIDE_COPIES ${CMAKE_BINARY_DIR}/${name})
endforeach()
add_custom_target(guide ALL DEPENDS ${KESTREL_GUIDE_COPIES})
add_dependencies(kestrel guide)

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
