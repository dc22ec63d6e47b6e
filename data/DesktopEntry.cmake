# Writes the installed desktop entry: Exec and TryExec name the installed executable
# by its absolute path. KWin lets a program use org.kde.KWin.ScreenShot2 only when
# the Exec of an entry naming that interface resolves to the program, and it reads
# a bare name against its own working folder.
# Inputs: ENTRY_SOURCE, ENTRY_OUTPUT, EXECUTABLE.
file(READ "${ENTRY_SOURCE}" entry)
string(REGEX REPLACE "(^|\n)(Exec|TryExec)=lumivane" "\\1\\2=${EXECUTABLE}" entry "${entry}")
file(WRITE "${ENTRY_OUTPUT}" "${entry}")
