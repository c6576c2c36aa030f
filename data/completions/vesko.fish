# fish completion for vesko

set -l no_mode 'not __fish_seen_argument -l find -l scan -l bench -l drift -l watch -l help -l version -l hidden'

complete -c vesko -f
complete -c vesko -n $no_mode -l find -d 'Print the path of each hit'
complete -c vesko -n $no_mode -l scan -d 'Scan the roots and print a report'
complete -c vesko -n $no_mode -l bench -d 'Benchmark searches over the saved archive'
complete -c vesko -n $no_mode -l drift -d 'Check the once-a-day full rescan rule'
complete -c vesko -n $no_mode -l watch -x -a '(__fish_complete_directories)' -d 'Probe the live-update path in a folder'
complete -c vesko -n $no_mode -l hidden -d 'Start with the window hidden'
complete -c vesko -n $no_mode -l dev-root -x -a '(__fish_complete_directories)' -d 'Index only this folder'
complete -c vesko -n $no_mode -l dev-query -x -d 'Start with this query'
complete -c vesko -n $no_mode -l dev-contents -x -d 'Start with this content filter'
complete -c vesko -n $no_mode -l dev-select -x -d 'Select this row of the first search that has it'
complete -c vesko -n $no_mode -l help -d 'Show the modes and options'
complete -c vesko -n $no_mode -l version -d 'Print the version'

set -l finding '__fish_seen_argument -l find'
complete -c vesko -n $finding -l root -x -a '(__fish_complete_directories)' -d 'Search the index of this folder'
complete -c vesko -n $finding -l limit -x -d 'At most N paths (0 for all)'
complete -c vesko -n $finding -l sort -x -a 'relevance none name path kind size modified created accessed' -d 'Order of the hits'
complete -c vesko -n $finding -l ascending -d 'Sort upwards'
complete -c vesko -n $finding -l descending -d 'Sort downwards'
complete -c vesko -n $finding -l regex -d 'The query is a POSIX extended regular expression'
complete -c vesko -n $finding -l path -d 'Match the query against full paths'
complete -c vesko -n $finding -l case -d 'A regular expression keeps letter case'
complete -c vesko -n $finding -l match-diacritics -d 'Accents count: resume does not find résumé'
complete -c vesko -n $finding -l count -d 'Print only the number of matches'
complete -c vesko -n $finding -l print0 -d 'End each path with NUL'
complete -c vesko -n $finding -l existing -d 'Only hits that still exist on disk'

set -l scanning '__fish_seen_argument -l scan'
complete -c vesko -n $scanning -l root -x -a '(__fish_complete_directories)' -d 'Scan this folder instead of the home folder'
complete -c vesko -n $scanning -l archive -d 'Also save and reload the index archive'
complete -c vesko -n $scanning -l query -x -d 'Time this query'

set -l reporting '__fish_seen_argument -l scan -l bench -l drift -l watch'
complete -c vesko -n $reporting -l out -r -F -d 'Write the report to this file'
