# fish completion for tandrel: its commands and options, instance names for open, rename, badge, export, duplicate,
# stop, delete and links add, app names for create, sites for links remove (asked of tandrel
# itself, which needs no display for them).

# The values of a field of `tandrel <command> --json`, one per line, its escapes undone.
function __tandrel_field --argument-names command field
    tandrel (string split ' ' -- $command) --json 2>/dev/null | string replace -rf "^        \"$field\": \"(.*)\",?\$" '$1' | string replace -ra '\\\\(.)' '$1'
end

# Whether the word being completed is the command's first operand (an instance or an app).
function __tandrel_first_operand
    set -l words 0
    set -l tokens (commandline -opc)
    set -l i 2
    while test $i -le (count $tokens)
        switch $tokens[$i]
            case --lang --mode --apps --color --label --image --name
                set i (math $i + 1) # its value
            case '-*'
            case '*'
                set words (math $words + 1)
        end
        set i (math $i + 1)
    end
    test $words -eq 1
end

set -l commands apps list create open rename badge stop delete export import duplicate links route
complete -c tandrel -f
complete -c tandrel -n "not __fish_seen_subcommand_from $commands" -a apps -d 'List the installed apps'
complete -c tandrel -n "not __fish_seen_subcommand_from $commands" -a list -d 'List the instances'
complete -c tandrel -n "not __fish_seen_subcommand_from $commands" -a create -d 'Make an instance of an app'
complete -c tandrel -n "not __fish_seen_subcommand_from $commands" -a open -d 'Open an instance'
complete -c tandrel -n "not __fish_seen_subcommand_from $commands" -a rename -d 'Rename an instance'
complete -c tandrel -n "not __fish_seen_subcommand_from $commands" -a badge -d 'Show or change the badge on its icon'
complete -c tandrel -n "not __fish_seen_subcommand_from $commands" -a stop -d 'Stop a running instance'
complete -c tandrel -n "not __fish_seen_subcommand_from $commands" -a delete -d 'Delete an instance and its data'
complete -c tandrel -n "not __fish_seen_subcommand_from $commands" -a export -d 'Save an instance and its data in one file'
complete -c tandrel -n "not __fish_seen_subcommand_from $commands" -a import -d 'Make an instance from an exported file'
complete -c tandrel -n "not __fish_seen_subcommand_from $commands" -a duplicate -d 'Make an instance with a copy of the data'
complete -c tandrel -n "not __fish_seen_subcommand_from $commands" -a links -d 'List, add or remove the link rules, or take web links'
complete -c tandrel -n "not __fish_seen_subcommand_from $commands" -a route -d 'Open a link where the rules say, or ask'
complete -c tandrel -n '__fish_seen_subcommand_from links; and not __fish_seen_subcommand_from list add remove handler' -a 'list add remove handler'
complete -c tandrel -n '__fish_seen_subcommand_from links; and __fish_seen_subcommand_from list' -l json -d 'One JSON document'
complete -c tandrel -n '__fish_seen_subcommand_from links; and __fish_seen_subcommand_from add' -l exact -d 'That host only'
complete -c tandrel -n '__fish_seen_subcommand_from links; and __fish_seen_subcommand_from add' -a '(__tandrel_field list displayName)'
complete -c tandrel -n '__fish_seen_subcommand_from links; and __fish_seen_subcommand_from remove' -a '(__tandrel_field "links list" site)'
complete -c tandrel -n '__fish_seen_subcommand_from links; and __fish_seen_subcommand_from handler' -a 'on off'
complete -c tandrel -s h -l help -d 'Print the usage'
complete -c tandrel -s V -l version -d 'Print the version'
complete -c tandrel -l lang -x -a 'es en' -d 'The language of this run'
complete -c tandrel -n '__fish_seen_subcommand_from apps list' -l json -d 'One JSON document'
complete -c tandrel -n '__fish_seen_subcommand_from apps' -l apps -r -a '(__fish_complete_directories)' -d 'A folder to search for apps'
complete -c tandrel -n '__fish_seen_subcommand_from create' -l mode -x -a 'home udd gecko' -d 'The isolation mode'
complete -c tandrel -n '__fish_seen_subcommand_from create; and __tandrel_first_operand' -a '(__tandrel_field apps name)'
complete -c tandrel -n '__fish_seen_subcommand_from badge' -l color -x -a 'blue purple pink orange teal green indigo' -d 'The badge colour, or #RRGGBB'
complete -c tandrel -n '__fish_seen_subcommand_from badge' -l label -x -d 'One or two characters'
complete -c tandrel -n '__fish_seen_subcommand_from badge' -l image -r -F -d 'An image for the badge'
complete -c tandrel -n '__fish_seen_subcommand_from import' -l name -x -d 'The new instance name'
complete -c tandrel -n '__fish_seen_subcommand_from import; or __fish_seen_subcommand_from export; and not __tandrel_first_operand' -F
complete -c tandrel -n '__fish_seen_subcommand_from open rename badge stop delete export duplicate; and __tandrel_first_operand' -a '(__tandrel_field list displayName)'
complete -c tandrel -n '__fish_seen_subcommand_from delete' -l yes -d 'Delete without asking'
complete -c tandrel -n '__fish_seen_subcommand_from delete' -l stop -d 'Stop it first when it runs'
