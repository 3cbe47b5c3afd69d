#include "cli/options.h"

#include "schedule/quoted.h"

#include <algorithm>

namespace horvex::cli {

namespace {

// Qt reads these itself when the window opens, with one dash or two.
struct WindowOption {
    const char* name;
    bool takesValue;
};
constexpr WindowOption kWindowOptions[] = {
    {"style", true},         {"stylesheet", true},
    {"platform", true},      {"platformpluginpath", true},
    {"platformtheme", true}, {"plugin", true},
    {"display", true},       {"qwindowgeometry", true},
    {"geometry", true},      {"qwindowicon", true},
    {"qwindowtitle", true},  {"title", true},
    {"name", true},          {"session", true},
    {"reverse", false},      {"widgetcount", false},
    {"nograb", false},       {"dograb", false},
};

const WindowOption* windowOption(const QString& name) {
    for (const WindowOption& o : kWindowOptions)
        if (name == QLatin1String(o.name))
            return &o;
    return nullptr;
}

// The window option an argument gives ("-style", "--style=fusion"), and
// whether its value is the next argument.
struct GivenWindowOption {
    const WindowOption& option;
    bool valueFollows;
};

std::optional<GivenWindowOption> windowOptionIn(const QString& arg) {
    if (!arg.startsWith(QLatin1Char('-')))
        return std::nullopt;
    const QString body = arg.mid(arg.startsWith(QLatin1String("--")) ? 2 : 1);
    const WindowOption* option = windowOption(body.section(QLatin1Char('='), 0, 0));
    if (option == nullptr)
        return std::nullopt;
    return GivenWindowOption{*option, option->takesValue && !body.contains(QLatin1Char('='))};
}

// One argument as the parser sees it.
struct Token {
    enum Kind { Long, Letter, Word, Plain } kind = Plain; // --name, -x, -word, other
    QString name;
    std::optional<QString> value; // after '='
};

Token tokenOf(const QString& arg) {
    const auto split = [](const QString& body, Token::Kind kind) {
        // The value is everything after the first '=': "--export=a=b.ini".
        const qsizetype eq = body.indexOf(QLatin1Char('='));
        Token t{kind, body.left(eq < 0 ? body.size() : eq), std::nullopt};
        if (eq >= 0)
            t.value = body.mid(eq + 1);
        return t;
    };
    if (arg.startsWith(QLatin1String("--")) && arg.size() > 2)
        return split(arg.mid(2), Token::Long);
    // "-" is a file name (standard output), "-1" a number.
    if (arg.size() < 2 || arg[0] != QLatin1Char('-') || arg[1].isDigit())
        return {Token::Plain, arg, std::nullopt};
    return split(arg.mid(1), arg.size() == 2 ? Token::Letter : Token::Word);
}

// Edits between two names, a swap of neighbours counting as one.
int distance(const QString& a, const QString& b) {
    const auto n = a.size();
    const auto m = b.size();
    std::vector<std::vector<qsizetype>> d(n + 1, std::vector<qsizetype>(m + 1));
    for (qsizetype i = 0; i <= n; ++i)
        d[i][0] = i;
    for (qsizetype j = 0; j <= m; ++j)
        d[0][j] = j;
    for (qsizetype i = 1; i <= n; ++i)
        for (qsizetype j = 1; j <= m; ++j) {
            const qsizetype cost = a[i - 1] == b[j - 1] ? 0 : 1;
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    return static_cast<int>(d[n][m]);
}

// The names a mistyped one most likely meant: the nearest with one typo in
// a short name, two in a longer one; else every name it starts.
QStringList nearMisses(const QString& typed, const std::vector<Row>& rows) {
    const QString name = typed.toLower();
    const int allowed = name.size() <= 4 ? 1 : 2;
    const Row* best = nullptr;
    int bestDistance = allowed + 1;
    QStringList started;
    for (const Row& row : rows) {
        const int d = distance(name, row.name);
        if (d < bestDistance) {
            best = &row;
            bestDistance = d;
        }
        if (name.size() >= 3 && row.name.startsWith(name))
            started << row.name;
    }
    started.sort();
    return best != nullptr ? QStringList{best->name} : started;
}

QString unknown(const QString& arg, const Token& t, const std::vector<Row>& rows) {
    if (windowOption(t.name) != nullptr)
        return QStringLiteral("%1 es una opción de la ventana: va sin ninguna orden")
            .arg(quoted(arg));
    QString said = QStringLiteral("opción desconocida %1").arg(quoted(arg));
    if (const QStringList meant =
            t.kind != Token::Letter ? nearMisses(t.name, rows) : QStringList();
        !meant.isEmpty())
        said += QStringLiteral("; ¿quería decir %1?").arg(commandList(meant));
    return said;
}

const Row* rowOf(const Token& t, const std::vector<Row>& rows) {
    for (const Row& row : rows)
        if ((t.kind == Token::Long && t.name == row.name) ||
            (t.kind == Token::Letter && !row.letter.isNull() && t.name == QString(row.letter)))
            return &row;
    return nullptr;
}

struct Given {
    const Row* row;
    std::optional<QString> value;
};

// The rows given, each once, with their values; or the usage error.
std::optional<QString> readArguments(const QStringList& args, const std::vector<Row>& rows,
                                     std::vector<Given>& given) {
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        const Token t = tokenOf(arg);
        if (t.kind == Token::Plain)
            return QStringLiteral("sobra %1").arg(quoted(arg));
        const Row* row = rowOf(t, rows);
        if (row == nullptr)
            return unknown(arg, t, rows);
        const QString dashed = QStringLiteral("--") + row->name;
        if (std::any_of(given.cbegin(), given.cend(), [&](const Given& g) { return g.row == row; }))
            return QStringLiteral("%1 está dos veces; se da una sola vez").arg(dashed);
        std::optional<QString> value = t.value;
        if (value && row->takes == Takes::Nothing)
            return QStringLiteral("%1 no lleva valor").arg(dashed);
        // The next argument is the value unless it is another long option.
        const bool nextIsValue =
            i + 1 < args.size() && !args[i + 1].startsWith(QLatin1String("--"));
        if (!value && row->takes != Takes::Nothing && nextIsValue)
            value = args[++i];
        if (!value && row->takes == Takes::Value)
            return QStringLiteral("falta el valor de %1 (%2)").arg(dashed, row->valueName);
        // An unset variable in a script must not fall back on the stored value.
        if (value && value->isEmpty())
            return QStringLiteral("%1: el valor está vacío").arg(dashed);
        given.push_back({row, value});
    }
    return std::nullopt;
}

} // namespace

// "--sync o --print-frame"
QString commandList(const QStringList& names) {
    QStringList dashed;
    for (const QString& n : names)
        dashed << QStringLiteral("--") + n;
    if (dashed.size() < 2)
        return dashed.join(QString());
    return dashed.mid(0, dashed.size() - 1).join(QStringLiteral(", ")) + QStringLiteral(" o ") +
           dashed.last();
}

Parsed parse(const QStringList& args, const std::vector<Row>& rows) {
    Parsed p;
    std::vector<Given> given;
    if (const std::optional<QString> error = readArguments(args, rows, given)) {
        p.error = *error;
        return p;
    }
    const auto overriding =
        std::find_if(given.cbegin(), given.cend(), [](const Given& g) { return g.row->overrides; });
    if (overriding != given.cend()) {
        p.command = overriding->row;
        return p;
    }
    const Row* command = nullptr;
    for (const Given& g : given) {
        if (!g.row->isCommand())
            continue;
        if (command != nullptr) {
            p.error = QStringLiteral("las órdenes --%1 y --%2 no se pueden combinar")
                          .arg(command->name, g.row->name);
            return p;
        }
        command = g.row;
    }
    if (command == nullptr) {
        p.error = QStringLiteral("falta una orden (por ejemplo --sync)");
        return p;
    }
    for (const Given& g : given) {
        if (!g.row->isCommand() && !g.row->with.contains(command->name)) {
            p.error = QStringLiteral("--%1 va con %2, no con --%3")
                          .arg(g.row->name, commandList(g.row->with), command->name);
            return p;
        }
        // A flag's row is told it was given; a value's row gets the value.
        if (g.row->take && (g.value || g.row->takes == Takes::Nothing)) {
            p.error = g.row->take(g.value.value_or(QString()), p.request);
            if (!p.error.isEmpty())
                return p;
        }
    }
    p.command = command;
    return p;
}

QStringList withoutWindowOptions(const QStringList& args) {
    QStringList kept;
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (const std::optional<GivenWindowOption> given = windowOptionIn(args[i]))
            i += given->valueFollows ? 1 : 0;
        else
            kept << args[i];
    }
    return kept;
}

QSet<QString> windowOptionNames(const QStringList& args) {
    QSet<QString> names;
    for (qsizetype i = 0; i < args.size(); ++i)
        if (const std::optional<GivenWindowOption> given = windowOptionIn(args[i])) {
            // Its value, if any: Qt ignores the option without one.
            i += given->valueFollows ? 1 : 0;
            names.insert(QLatin1String(given->option.name));
        }
    return names;
}

std::optional<QSet<QString>> windowOptions(const QStringList& args) {
    if (!withoutWindowOptions(args).isEmpty())
        return std::nullopt;
    return windowOptionNames(args);
}

} // namespace horvex::cli
