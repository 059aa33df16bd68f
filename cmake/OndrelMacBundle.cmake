# The files that make a macOS bundle a plug-in the host recognises: Info.plist and PkgInfo, both
# giving the package type 'eFKT' (an effect) and the creator 'FXTC'. The registration records go
# into Contents/Resources separately (the generated .rsrc).
set(ONDREL_BUNDLE_PACKAGE_TYPE eFKT)
set(ONDREL_BUNDLE_SIGNATURE FXTC)

# Writes <folder>/Info.plist, naming `executable` as the bundle's binary, and <folder>/PkgInfo.
# Usable on any system, so that the files can be checked where no bundle can be linked. The
# template takes @-placeholders only, which leaves nothing for CMake's own pass over a bundle's
# Info.plist to replace.
function(ondrel_mac_bundle_files folder executable)
    set(ONDREL_BUNDLE_EXECUTABLE ${executable})
    set(ONDREL_BUNDLE_IDENTIFIER "org.ondrel.${executable}")
    configure_file(${CMAKE_CURRENT_FUNCTION_LIST_DIR}/OndrelShapes-Info.plist.in
        ${folder}/Info.plist @ONLY)
    file(CONFIGURE OUTPUT ${folder}/PkgInfo
        CONTENT "${ONDREL_BUNDLE_PACKAGE_TYPE}${ONDREL_BUNDLE_SIGNATURE}")
endfunction()
