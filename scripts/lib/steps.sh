# Sourced by the main job, the test run, the set-up and the build: each step
# announced on the terminal, what the tools print kept whole in a log file
# ($VARDELK_LOG), and on the terminal only what tells how far they got and
# what went wrong.

# vardelk_step N TOTAL TEXT...: announces step N of TOTAL.
vardelk_step() {
  local n=$1 total=$2
  shift 2
  printf '[%s/%s] %s\n' "$n" "$total" "$*"
  [ -z "${VARDELK_LOG:-}" ] || printf '\n==== [%s/%s] %s (%s)\n' "$n" "$total" "$*" "$(date '+%F %T')" >>"$VARDELK_LOG"
}

# vardelk_progress KIND: a filter that appends every line it reads to the log
# and shows on the terminal only
#   build: ninja's "[n/N]" count (one line rewritten on a terminal, a line
#          every tenth of the build otherwise) and everything else the build
#          prints (build.sh's "== " lines, the compiler's messages);
#   apt:   a count of the packages set up;
#   test:  ctest's result lines and the output of the tests that failed.
# With no log it only shows.
vardelk_progress() {
  local kind=$1 line shown=-1 total=0 done=0 tty=0 pending=0 phase=
  local counts='([0-9]+) upgraded, ([0-9]+) newly installed(, ([0-9]+) reinstalled)?'
  local fetched='^(Get):[0-9]+ [^ ]+ [^ ]+ [^ ]+ ([^ ]+)' set_up='^(Setting up) ([^ ]+)'
  [ -t 1 ] && tty=1
  local log=${VARDELK_LOG:-/dev/null}
  # status TEXT: the one rewritten line on a terminal.
  status() {
    if ((tty)); then
      printf '\r\033[K  %s' "${1:0:$((${COLUMNS:-100} - 4))}"
      pending=1
    else
      printf '  %s\n' "$1"
    fi
  }
  # say TEXT: a line of its own.
  say() {
    ((pending)) && printf '\r\033[K'
    pending=0
    printf '%s\n' "$1"
  }
  while IFS= read -r line; do
    printf '%s\n' "$line" >>"$log"
    case $kind in
      build)
        if [[ $line =~ ^\[([0-9]+)/([0-9]+)\]\ (.*)$ ]]; then
          done=${BASH_REMATCH[1]} total=${BASH_REMATCH[2]}
          local tenth=$((done * 10 / total))
          if ((tty)); then
            status "[$done/$total] ${BASH_REMATCH[3]}"
          elif ((tenth != shown)); then
            shown=$tenth
            status "[$done/$total] $((done * 100 / total)) %"
          fi
        elif [[ $line == "== "* ]]; then
          shown=-1
          say "  ${line#== }"
        elif [[ $line != "ninja: Entering directory"* ]]; then
          say "$line"
        fi
        ;;
      apt)
        if [[ $line =~ $counts ]]; then
          total=$((BASH_REMATCH[1] + BASH_REMATCH[2] + ${BASH_REMATCH[4]:-0}))
        elif [[ $line =~ $fetched || $line =~ $set_up ]]; then
          # Downloads, then the packages set up, each counted against the total.
          local what=${BASH_REMATCH[1]} name=${BASH_REMATCH[2]}
          if [ "$what" != "$phase" ]; then
            phase=$what done=0 shown=-1
          fi
          done=$((done + 1))
          local tenth=$((total ? done * 10 / total : 0))
          if ((total && (tty || tenth != shown))); then
            shown=$tenth
            status "[$done/$total] $([ "$what" = Get ] && echo downloaded || echo set up) $name"
          fi
        elif [[ $line =~ ^(E:|dpkg:\ error) ]]; then
          say "$line"
        fi
        ;;
      test)
        if [[ $line =~ ^\ *Start\ +[0-9]+: || -z $line ]]; then
          :
        elif [[ $line =~ ^X\ connection\ to\ .*\ broken ]]; then
          : # the virtual display going away under Wine's helper processes
        else
          say "$line"
        fi
        ;;
    esac
  done
  ((pending)) && printf '\n'
  return 0
}

# vardelk_logged KIND COMMAND...: runs COMMAND through vardelk_progress KIND;
# returns its exit status. When it fails, the log's last lines are shown
# (the build's and the tests' messages are on the terminal already).
vardelk_logged() {
  local kind=$1
  shift
  local status=0
  "$@" 2>&1 </dev/null | vardelk_progress "$kind"
  status=${PIPESTATUS[0]}
  if ((status != 0)) && [ -n "${VARDELK_LOG:-}" ] && [ "$kind" = apt ]; then
    echo "  failed (exit status $status); the last lines of $VARDELK_LOG:"
    tail -n 25 "$VARDELK_LOG" | sed 's/^/    /'
  fi
  return "$status"
}

# vardelk_suite_runner SUITE COMMAND...: runs COMMAND (ctest, in a build
# folder) as that build's tests need: the sanitize build with leaks detected
# and the first error fatal; the windows build under Wine on a virtual
# display, in a Japanese locale so that Wine's ANSI code page is 932, as on
# the editor's usual system. Wine's helper processes are waited for before
# the virtual display closes, so that they do not report a lost X
# connection. The native build runs COMMAND as it is.
vardelk_suite_runner() {
  local suite=$1
  shift
  case $suite in
    sanitize) env ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 "$@" ;;
    windows)
      xvfb-run -a -s "-screen 0 1280x1024x24" \
        bash -c '"$@"; status=$?; wineserver -w; exit $status' wine-suite env LC_ALL=ja_JP.UTF-8 "$@"
      ;;
    *) "$@" ;;
  esac
}
