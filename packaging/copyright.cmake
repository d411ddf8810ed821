# Writes the package's copyright file from the two licences it names: Kestrel's
# own, and the CHIP-8 database's, whose data is built into Kestrel.
#   cmake -DKESTREL_LICENSE=<LICENSE> -DDATABASE_LICENSE=<LICENSE.md> -DOUTPUT=<file> -P copyright.cmake
file(READ ${KESTREL_LICENSE} kestrel)
file(READ ${DATABASE_LICENSE} database)
file(WRITE ${OUTPUT} "Kestrel, a CHIP-8 interpreter.

Everything in this package is under Kestrel's licence, below, except the
CHIP-8 database's data that Kestrel holds (program titles, platforms, speeds
and quirk settings), which is under the database's own licence, after it.

${kestrel}
------------------------------------------------------------------------------

The CHIP-8 database, https://github.com/chip-8/chip-8-database (its licence,
as upstream states it):

${database}")
