#include "station/Settings.h"

#include <QDir>
#include <QMutexLocker>

#include <cstdio>

namespace {

const QString kSection = QStringLiteral("Diving");

QString folded(const QString &s)
{
    return s.toCaseFolded();
}

} // namespace

IniFile::IniFile(const QString &path) : path_(path) {}

bool IniFile::load()
{
    QByteArray content;
    const bool read = ReadRegularFile(path_, &content);
    parse(content);
    return read;
}

void IniFile::parse(const QByteArray &content)
{
    sections_.clear();
    sectionIndex_.clear();
    Section *current = nullptr;
    const char *p = content.constData();
    const char *end = p + content.size();
    while (p < end) {
        const char *nl = static_cast<const char *>(std::memchr(p, '\n', size_t(end - p)));
        const char *lineEnd = nl ? nl : end;
        qsizetype n = lineEnd - p;
        while (n > 0 && (p[n - 1] == '\r' || p[n - 1] == '\n'))
            --n;
        const QString line = QString::fromLatin1(p, n);
        p = nl ? nl + 1 : end;

        const QString t = line.trimmed();
        if (t.isEmpty() || t.startsWith(QLatin1Char(';')))
            continue;
        if (t.startsWith(QLatin1Char('[')) && t.endsWith(QLatin1Char(']'))) {
            current = &findOrAdd(t.mid(1, t.size() - 2).trimmed());
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq <= 0 || !current)
            continue;
        const QString key = line.left(eq).trimmed();
        // The first occurrence wins, as INI readers do.
        const QString k = folded(key);
        if (current->index.contains(k))
            continue;
        current->index.insert(k, current->entries.size());
        current->entries.append({key, line.mid(eq + 1).trimmed()});
    }
}

QByteArray IniFile::serialize() const
{
    QByteArray out;
    for (const Section &s : sections_) {
        out += '[' + s.name.toLatin1() + "]\r\n";
        for (const auto &e : s.entries)
            out += e.first.toLatin1() + '=' + e.second.toLatin1() + "\r\n";
        out += "\r\n";
    }
    return out;
}

bool IniFile::save(QString *error) const
{
    return WriteFileSafely(path_, serialize(), error);
}

IniFile::Section *IniFile::find(const QString &section)
{
    const auto it = sectionIndex_.constFind(folded(section));
    return it == sectionIndex_.cend() ? nullptr : &sections_[*it];
}

const IniFile::Section *IniFile::find(const QString &section) const
{
    return const_cast<IniFile *>(this)->find(section);
}

IniFile::Section &IniFile::findOrAdd(const QString &section)
{
    if (Section *s = find(section))
        return *s;
    sectionIndex_.insert(folded(section), sections_.size());
    sections_.append({section, {}, {}});
    return sections_.last();
}

const QString *IniFile::value(const QString &section, const QString &key) const
{
    const Section *s = find(section);
    if (!s)
        return nullptr;
    const auto it = s->index.constFind(folded(key));
    return it == s->index.cend() ? nullptr : &s->entries[*it].second;
}

bool IniFile::contains(const QString &section, const QString &key) const
{
    return value(section, key) != nullptr;
}

QString IniFile::readString(const QString &section, const QString &key, const QString &def) const
{
    const QString *v = value(section, key);
    return v ? *v : def;
}

int IniFile::readInteger(const QString &section, const QString &key, int def) const
{
    const QString v = readString(section, key, QString()).trimmed();
    bool ok = false;
    const int n = v.toInt(&ok, 10);
    return ok ? n : def;
}

void IniFile::writeString(const QString &section, const QString &key, const QString &value)
{
    Section &s = findOrAdd(section);
    const QString k = folded(key);
    const auto it = s.index.constFind(k);
    if (it != s.index.cend()) {
        s.entries[*it].second = value;
        return;
    }
    s.index.insert(k, s.entries.size());
    s.entries.append({key, value});
}

void IniFile::writeInteger(const QString &section, const QString &key, int value)
{
    writeString(section, key, QString::number(value));
}

QString StationSettings::filePath()
{
    // In the working folder, written with the system's own separator.
    return QDir::toNativeSeparators(QDir::currentPath() + QStringLiteral("/Settings.ini"));
}

void StationSettingsFile::loadOnce()
{
    if (loaded_)
        return;
    loaded_ = true;
    ini_ = IniFile(StationSettings::filePath());
    ini_.load();
    read_.LastIP = ini_.readString(kSection, QStringLiteral("LastIP"), QStringLiteral("This Computer"));
    read_.Who = ini_.readInteger(kSection, QStringLiteral("Who"), 0);
}

StationSettings StationSettingsFile::read()
{
    QMutexLocker lock(&mutex_);
    loadOnce();
    return read_;
}

bool StationSettingsFile::write(const StationSettings &settings)
{
    QMutexLocker lock(&mutex_);
    loadOnce();
    ini_.writeInteger(kSection, QStringLiteral("Left"), settings.Left);
    ini_.writeInteger(kSection, QStringLiteral("Top"), settings.Top);
    ini_.writeInteger(kSection, QStringLiteral("Width"), settings.Width);
    ini_.writeInteger(kSection, QStringLiteral("Height"), settings.Height);
    ini_.writeString(kSection, QStringLiteral("LastIP"), settings.LastIP);
    ini_.writeInteger(kSection, QStringLiteral("Who"), settings.Who);
    const QString path = StationSettings::filePath();
    QString error;
    if (WriteFileSafely(path, ini_.serialize(), &error))
        return true;
    std::fprintf(stderr, "%s could not be written (%s); the file is left as it was.\n", qPrintable(path),
                 qPrintable(error));
    std::fflush(stderr);
    return false;
}
