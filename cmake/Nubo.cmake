# nubo_library(<target> DIRS <folders under src/> DEPS <targets>)
# One static library per layer; its sources are every .cpp/.h under the named folders.
function(nubo_library name)
    cmake_parse_arguments(A "" "" "DIRS;DEPS" ${ARGN})
    set(srcs)
    foreach(d IN LISTS A_DIRS)
        file(GLOB_RECURSE s CONFIGURE_DEPENDS
            ${PROJECT_SOURCE_DIR}/src/${d}/*.cpp ${PROJECT_SOURCE_DIR}/src/${d}/*.h)
        list(APPEND srcs ${s})
    endforeach()
    list(FILTER srcs EXCLUDE REGEX "/src/app/")
    add_library(${name} STATIC ${srcs})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC ${A_DEPS} PRIVATE nubo_warnings)
endfunction()

# nubo_test(<layer>): tests/<layer>/*.cpp as one GoogleTest executable test_<layer>.
function(nubo_test layer)
    cmake_parse_arguments(A "" "" "DEPS" ${ARGN})
    file(GLOB_RECURSE s CONFIGURE_DEPENDS
        ${PROJECT_SOURCE_DIR}/tests/${layer}/*.cpp ${PROJECT_SOURCE_DIR}/tests/${layer}/*.h)
    if(NOT s)
        return()
    endif()
    string(REPLACE "/" "_" tname "test_${layer}")
    add_executable(${tname} ${s})
    target_link_libraries(${tname} PRIVATE nubo_test_support ${A_DEPS} nubo_warnings)
    gtest_discover_tests(${tname}
        DISCOVERY_MODE PRE_TEST
        DISCOVERY_TIMEOUT 60
        PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 300 LABELS ${tname})
endfunction()

# nubo_bench(<name> <sources...> DEPS <targets>)
function(nubo_bench name)
    cmake_parse_arguments(A "" "" "SOURCES;DEPS" ${ARGN})
    add_executable(${name} ${A_SOURCES})
    target_link_libraries(${name} PRIVATE ${A_DEPS} nubo_warnings)
endfunction()
