# cmake -DZIP=FILE -DDESTINATION=FOLDER -P unpack.cmake: unpacks the portable
# zip into a fresh folder, as a user's Extract All would.
file(REMOVE_RECURSE ${DESTINATION})
file(MAKE_DIRECTORY ${DESTINATION})
file(ARCHIVE_EXTRACT INPUT ${ZIP} DESTINATION ${DESTINATION})
