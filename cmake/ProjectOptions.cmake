# Warning and sanitizer settings shared by every target of the project.
set(OV_SANITIZER_DEFAULTS ${CMAKE_CURRENT_LIST_DIR}/SanitizerDefaults.cpp)

function(ov_configure_target target)
    target_compile_options(${target} PRIVATE
        -Wall -Wextra -Wpedantic -Wold-style-cast -Wnon-virtual-dtor -Woverloaded-virtual)
    if(OV_WARNINGS_AS_ERRORS)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
    # The sanitizers' instrumentation makes GCC's flow analysis report uninitialised values that
    # are not there (in std::function and std::regex, for instance); the ordinary build keeps it.
    if(OV_SANITIZE AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
        target_compile_options(${target} PRIVATE -Wno-maybe-uninitialized)
    endif()
    # Every program of a sanitizer build carries the sanitizers' defaults and suppressions.
    get_target_property(type ${target} TYPE)
    if(OV_SANITIZE AND type STREQUAL "EXECUTABLE")
        target_sources(${target} PRIVATE ${OV_SANITIZER_DEFAULTS})
    endif()
endfunction()

# ov_add_program(name library): one of the installed programs, main.cpp alone linked to the library
# that holds the rest, installed with the data files both programs share (target orvalan-data).
function(ov_add_program name library)
    add_executable(${name} main.cpp)
    target_link_libraries(${name} PRIVATE ${library})
    ov_configure_target(${name})
    include(GNUInstallDirs)
    install(TARGETS ${name} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    add_dependencies(${name} orvalan-data)
endfunction()

# AddressSanitizer (with its LeakSanitizer) and UndefinedBehaviorSanitizer; any report fails the
# program. Frame pointers keep the reported stacks complete at -O1. The standard library checks
# every container index as well (operator[], front, back), which the address checks miss inside a
# vector's spare capacity.
if(OV_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
    add_compile_definitions(_GLIBCXX_ASSERTIONS)
    add_link_options(-fsanitize=address,undefined)
endif()

# Every symbol of a program bound at start, as Debian builds its packages, so that the relocations
# are read-only before the program reads anything from the network. An ELF linker's option: the
# Windows build's PE linker has none such.
if(NOT WIN32)
    add_link_options(LINKER:-z,now)
endif()
