# fish completion for zix.
# The first word picks the mode. What follows is a count, a range of codes
# or the string to repeat, all of the user's own making: nothing is offered
# for them, file names least of all, since zix reads no file.
complete -c zix -f
complete -c zix -n 'test (count (commandline -opc)) -eq 1' -a -c -d 'random characters'
complete -c zix -n 'test (count (commandline -opc)) -eq 1' -a -s -d 'a string, num times'
complete -c zix -n 'test (count (commandline -opc)) -eq 1' -a -a -d 'the character table'
