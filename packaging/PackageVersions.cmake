# Read by cpack for each run: a run for one component takes that program's version, since the
# two programs are versioned apart (cpack -D CPACK_COMPONENTS_ALL=rpl-mirror).
if(CPACK_COMPONENTS_ALL STREQUAL "senvigil")
    set(CPACK_DEBIAN_PACKAGE_VERSION ${CPACK_SENVIGIL_VERSION})
elseif(CPACK_COMPONENTS_ALL STREQUAL "rpl-mirror")
    set(CPACK_DEBIAN_PACKAGE_VERSION ${CPACK_RPL_MIRROR_VERSION})
endif()
