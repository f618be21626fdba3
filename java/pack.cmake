# Packs the libraries into the jar, each under its platform's directory with its size and CRC-32,
# once it is sure that each is a 64-bit little-endian ELF shared object for that platform's machine:
# no library can ever be packed in another platform's place.
#   cmake -DCLASSES=classes.jar -DJAR=out.jar -DJAR_TOOL=jar -DSTAGE=dir
#         -DLIBRARIES=linux-x86_64=/path/libvokrane.so;linux-aarch64=/path/libvokrane.so -P pack.cmake
set(machine_of_linux-x86_64 3e00)   # EM_X86_64, little-endian
set(machine_of_linux-aarch64 b700)  # EM_AARCH64
file(REMOVE_RECURSE ${STAGE})
foreach(entry IN LISTS LIBRARIES)
  string(REPLACE "=" ";" parts "${entry}")
  list(GET parts 0 platform)
  list(GET parts 1 library)
  if(NOT DEFINED machine_of_${platform})
    message(FATAL_ERROR "no platform ${platform}")
  endif()
  # The ELF header: magic, class 2 (64-bit), data 1 (little-endian), then e_type 3 (shared object)
  # at byte 16 and e_machine at byte 18.
  file(READ ${library} header LIMIT 64 HEX)
  string(SUBSTRING "${header}" 0 12 identity)
  string(SUBSTRING "${header}" 32 4 type)
  string(SUBSTRING "${header}" 36 4 machine)
  if(NOT identity STREQUAL "7f454c460201" OR NOT type STREQUAL "0300" OR NOT machine STREQUAL machine_of_${platform})
    message(FATAL_ERROR "${library} is not a shared object for ${platform} (ELF header ${header})")
  endif()
  # A file cut short loads as far as the dynamic loader reads, then crashes the VM that maps it
  # (SIGBUS): the section table, which comes last, must be whole. Its offset is 8 bytes at byte
  # 40, its entries' size and number 2 bytes each at bytes 58 and 60, little-endian.
  set(fields "")
  foreach(field 40:8 58:2 60:2)
    string(REPLACE ":" ";" at "${field}")
    list(GET at 0 offset)
    list(GET at 1 length)
    math(EXPR offset "${offset} * 2")
    math(EXPR length "${length} * 2")
    string(SUBSTRING "${header}" ${offset} ${length} bytes)
    string(REGEX MATCHALL ".." bytes "${bytes}")
    list(REVERSE bytes)
    string(JOIN "" value ${bytes})
    math(EXPR value "0x${value}")
    list(APPEND fields ${value})
  endforeach()
  list(GET fields 0 section_table)
  list(GET fields 1 entry_size)
  list(GET fields 2 entries)
  math(EXPR whole_size "${section_table} + ${entry_size} * ${entries}")
  file(SIZE ${library} size)
  if(size LESS whole_size)
    message(FATAL_ERROR "${library} is cut short: ${size} bytes, where its section table ends at ${whole_size}")
  endif()
  file(MAKE_DIRECTORY ${STAGE}/com/vok/native/${platform})
  file(COPY_FILE ${library} ${STAGE}/com/vok/native/${platform}/libvokrane.so)
  # Beside it, its size and CRC-32 for the loader to check the copy it extracts: a damaged library
  # would crash the VM in the dynamic loader. gzip's trailer holds both, little-endian.
  execute_process(COMMAND gzip -c ${library} OUTPUT_FILE ${STAGE}/${platform}.gz COMMAND_ERROR_IS_FATAL ANY)
  file(SIZE ${STAGE}/${platform}.gz compressed_size)
  math(EXPR trailer "${compressed_size} - 8")
  file(READ ${STAGE}/${platform}.gz crc LIMIT 4 OFFSET ${trailer} HEX)
  string(REGEX REPLACE "(..)(..)(..)(..)" "\\4\\3\\2\\1" crc "${crc}")
  file(WRITE ${STAGE}/com/vok/native/${platform}/libvokrane.so.crc32 "${size} ${crc}\n")
  file(REMOVE ${STAGE}/${platform}.gz)
endforeach()
file(COPY_FILE ${CLASSES} ${JAR})
execute_process(COMMAND ${JAR_TOOL} uf ${JAR} -C ${STAGE} com COMMAND_ERROR_IS_FATAL ANY)
