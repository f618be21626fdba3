# Writes a jar that every build of the same files writes alike: its entries in name order, each
# dated SOURCE_DATE_EPOCH, with the given manifest, which names its maker so that the JDK's own
# version is not written in.
#   cmake -DDIR=dir -DJAR=out.jar -DJAR_TOOL=jar -DEPOCH=seconds -DMANIFEST=file [-DMAIN_CLASS=class] -P jar.cmake
set(ENV{SOURCE_DATE_EPOCH} ${EPOCH})
string(TIMESTAMP date "%Y-%m-%dT%H:%M:%SZ" UTC)
# Named one by one, in order: a folder given whole is read in the file system's own order.
file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE ${DIR} ${DIR}/*)
list(REMOVE_ITEM files META-INF/MANIFEST.MF)
list(SORT files)
set(main_class "")
if(MAIN_CLASS)
  set(main_class --main-class ${MAIN_CLASS})
endif()
file(REMOVE ${JAR})
execute_process(COMMAND ${JAR_TOOL} --create --file ${JAR} --date ${date} --manifest ${MANIFEST} ${main_class} ${files}
  WORKING_DIRECTORY ${DIR} COMMAND_ERROR_IS_FATAL ANY)
