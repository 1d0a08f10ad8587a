# cmake -DSORVANTA=FILE -DSTKIT432=FILE -DTEMPLATE=package_digests.cpp.in -DOUTPUT=FILE -P package-digests.cmake
# Writes OUTPUT from TEMPLATE with the SHA-256 of the two files: the digests of a package made of them.
file(SHA256 "${SORVANTA}" package_sorvanta_sha256)
file(SHA256 "${STKIT432}" package_stkit432_sha256)
configure_file("${TEMPLATE}" "${OUTPUT}" @ONLY)
