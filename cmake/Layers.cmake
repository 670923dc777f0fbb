# kestrin_expose(TARGET FOLDER): the target's users see "FOLDER/Header.h" of this folder and
# nothing else of the source tree. Each library gets an include directory of its own in the build
# tree holding one link to its folder, so that a header of a layer it does not link is not found
# at compile time.
function(kestrin_expose target folder)
    set(dir ${PROJECT_BINARY_DIR}/include/${folder})
    file(MAKE_DIRECTORY ${dir})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${folder} ${dir}/${folder} SYMBOLIC)
    target_include_directories(${target} PUBLIC ${dir})
endfunction()
