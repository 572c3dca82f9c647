// completion: the bash completion script, made from the command table and the catalogue.
#include "cli/commands.h"
#include "cli/commandtable.h"
#include "cli/console.h"
#include "settings/catalogue.h"
#include "settings/choices.h"

namespace qbx::cli {
namespace {

// A word list as one bash $'...' string, a word a line.
QString bashWords(const QStringList& words)
{
    QString joined = words.join(QLatin1Char('\n'));
    joined.replace(QLatin1Char('\\'), QStringLiteral("\\\\"))
        .replace(QLatin1Char('\''), QStringLiteral("\\'"));
    return QStringLiteral("$'") + joined.replace(QLatin1Char('\n'), QStringLiteral("\\n")) +
           QLatin1Char('\'');
}

QStringList optionNames(const Command& c)
{
    QStringList names;
    for (const auto* group : {&c.options, &commonOptions()})
        for (const Option* o : *group)
            names << QStringLiteral("--") + QLatin1String(o->name);
    return names;
}

QString valueCases()
{
    QString cases;
    for (std::size_t step = 0; step < kSettingCount; ++step) {
        QStringList values;
        for (std::size_t e = 0; e < catalogue()[step].entries.size(); ++e)
            values << QString::fromStdString(entryValue(step, e));
        if (!values.isEmpty())
            cases += QStringLiteral("            %1) values=%2 ;;\n")
                         .arg(QLatin1String(catalogue()[step].key), bashWords(values));
    }
    return cases;
}

QString script()
{
    QStringList names{QStringLiteral("--help"), QStringLiteral("--version")};
    QStringList fileOptions;
    QStringList valueOptions;
    QString optionCases;
    for (const Command& c : commands()) {
        names << QLatin1String(c.name);
        optionCases += QStringLiteral("            %1) words=%2 ;;\n")
                           .arg(QLatin1String(c.name), bashWords(optionNames(c)));
        for (const Option* o : c.options)
            (o->value == QLatin1String("FILE") ? fileOptions : valueOptions)
                << QStringLiteral("--") + QLatin1String(o->name);
    }
    fileOptions.removeDuplicates();
    valueOptions.removeDuplicates();
    QStringList keys;
    for (const Setting& s : catalogue())
        keys << QLatin1String(s.key.data(), qsizetype(s.key.size()));
    return QStringLiteral(R"BASH(# bash completion for qbx7config, made by 'qbx7config completion bash'
_qbx7config()
{
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]} command=${COMP_WORDS[1]}
    local IFS=$'\n' words= values= key=
    if [[ $COMP_CWORD -eq 1 ]]; then
        COMPREPLY=($(compgen -W %1 -- "$cur"))
        return
    fi
    case $prev in
        %2) COMPREPLY=($(compgen -f -- "$cur")); return ;;
        %3) return ;;
    esac
    # bash splits KEY=VALUE at the '='.
    if [[ $cur == = ]]; then
        key=$prev cur=
    elif [[ $prev == = && $COMP_CWORD -ge 3 ]]; then
        key=${COMP_WORDS[COMP_CWORD-2]}
    fi
    if [[ $command == store && -n $key ]]; then
        case $key in
%4        esac
        # Values are matched ignoring case, as 'store' matches them.
        local value
        for value in $values; do
            [[ ${value,,} == "${cur,,}"* ]] && COMPREPLY+=("$(printf '%q' "$value")")
        done
        return
    fi
    if [[ $cur == -* ]]; then
        case $command in
%5        esac
        COMPREPLY=($(compgen -W "$words" -- "$cur"))
        return
    fi
    case $command in
        store) COMPREPLY=($(compgen -S = -W %6 -- "$cur")); compopt -o nospace 2>/dev/null ;;
        send|decode) COMPREPLY=($(compgen -f -- "$cur")) ;;
        help) [[ $COMP_CWORD -eq 2 ]] && COMPREPLY=($(compgen -W %7 -- "$cur")) ;;
        port) [[ $COMP_CWORD -eq 2 ]] && COMPREPLY=($(compgen -W set -- "$cur")) ;;
        completion) [[ $COMP_CWORD -eq 2 ]] && COMPREPLY=($(compgen -W bash -- "$cur")) ;;
    esac
}
complete -F _qbx7config qbx7config
)BASH")
        .arg(bashWords(names), fileOptions.join(QLatin1Char('|')), valueOptions.join(QLatin1Char('|')),
             valueCases(), optionCases, bashWords(keys), bashWords(names.mid(2)));
}

} // namespace

int runCompletion(const Invocation& invocation, Console& console)
{
    if (invocation.arguments.first() != QLatin1String("bash"))
        return console.usage(QStringLiteral("completion"), QStringLiteral("only 'bash' is known"));
    if (console.json())
        return console.usage(QStringLiteral("completion"),
                             QStringLiteral("the completion is a bash script: --json does not apply"));
    console.out() << script().toStdString();
    return Done;
}

} // namespace qbx::cli
