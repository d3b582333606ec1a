#include "names.h"

#include <utility>

namespace korva::demo::names {

const QStringList &firstNames()
{
    static const QStringList list =
        QStringLiteral(
            "Aaron Abigail Adam Adele Adrian Agnes Alan Alice Amelia Andrew Anna Arthur Ava Barbara Benjamin "
            "Bernard Beth Brian Bridget Bruno Caleb Camille Carl Carmen Caroline Cecil Charles Chloe Claire "
            "Colin Connor Daniel Daphne David Deborah Declan Diana Dominic Doris Edgar Edith Edward Eileen "
            "Elena Elliot Emil Emma Eric Esther Eva Felix Fiona Frances Frank Gavin Gemma George Gerald Grace "
            "Gregory Hannah Harold Harriet Hector Helen Henry Hugo Ian Ingrid Irene Isaac Ivan Jack Jacob Jane "
            "Jasper Jean Joan Joel Jonas Joseph Julia Karen Karl Kate Keith Lara Laura Leon Lewis Lily Linus "
            "Lisa Lorna Louis Lucy Magnus Malcolm Maria Martin Matilda Maureen Max Megan Miles Miriam Nadia "
            "Nathan Neil Nina Noel Nora Oliver Olivia Oscar Owen Patrick Paula Peter Philip Phoebe Quentin "
            "Rachel Ralph Rebecca Rita Robert Rosa Ruth Samuel Sandra Sean Simon Sophie Stella Stephen Susan "
            "Teresa Theo Thomas Tina Tobias Ursula Valerie Victor Vivian Walter Wendy William Yvonne Zoe")
            .split(u' ');
    return list;
}

const QStringList &lastNames()
{
    static const QStringList list =
        QStringLiteral(
            "Abbott Ackerly Ainsworth Aldridge Alston Ashby Atwell Bagley Bannister Barlow Beckett Bellamy "
            "Bingham Blackwood Bramley Brennan Brook Burrows Calloway Carden Chadwick Chandler Clayton Colby "
            "Corrigan Crane Dalton Danvers Darby Dempsey Denholm Dewhurst Dorsey Drummond Eastman Ellery "
            "Elwood Emberly Fairbanks Farley Fenwick Fielding Finch Fleming Forsyth Galloway Garrick Gibbs "
            "Gilmore Goddard Granger Greaves Hadley Halloran Harcourt Hargreaves Hartley Haskins Hawthorne "
            "Hayward Hendry Holloway Hopkins Howell Huxley Ingram Irving Jarvis Jessop Keating Kendall Kerr "
            "Kimball Kingsley Lacey Lambert Langford Lawson Lennox Lockwood Lowell Lyle Maddox Mallory Marlow "
            "Maxwell Merritt Milburn Monroe Morley Nash Newell Norwood Oakley Ogden Osborne Padgett Parrish "
            "Pemberton Penrose Pickering Pollard Prescott Quayle Radcliffe Ramsey Redfern Ridley Rowntree "
            "Rutherford Sadler Salter Sandford Sayer Selby Shelton Shepley Sinclair Slater Stanton Stirling "
            "Sutcliffe Tait Talbot Thornton Tolliver Trent Tunstall Underwood Upton Vance Varley Wainwright "
            "Walcott Warrick Webber Wetherby Whitlock Wilde Winslow Woodrow Wray Yardley Yates Yorke")
            .split(u' ');
    return list;
}

const QStringList &cities()
{
    static const QStringList list = {
        QStringLiteral("Harbour Point"), QStringLiteral("Eastfield"), QStringLiteral("Kestrel Bay"),
        QStringLiteral("Millbrook"),     QStringLiteral("Northgate"), QStringLiteral("Ravensford"),
        QStringLiteral("Stonebridge"),   QStringLiteral("Westmere"),
    };
    return list;
}

const QStringList &departments()
{
    static const QStringList list = {
        QStringLiteral("Sales"),       QStringLiteral("Support"),    QStringLiteral("Finance"),
        QStringLiteral("Engineering"), QStringLiteral("Facilities"), QStringLiteral("Human Resources"),
        QStringLiteral("Legal"),       QStringLiteral("Marketing"),  QStringLiteral("Purchasing"),
        QStringLiteral("Logistics"),   QStringLiteral("Operations"), QStringLiteral("Research"),
    };
    return list;
}

const QStringList &companies()
{
    static const QStringList list = {
        QStringLiteral("Arbour Freight"),   QStringLiteral("Bellweather Insurance"), QStringLiteral("Copperline Tools"),
        QStringLiteral("Dunmore Bakery"),   QStringLiteral("Elmstead Clinic"),       QStringLiteral("Foxglove Print"),
        QStringLiteral("Glenholm Estates"), QStringLiteral("Hollins Electrical"),    QStringLiteral("Ironside Storage"),
        QStringLiteral("Juniper Travel"),   QStringLiteral("Café Rosière"),
    };
    return list;
}

const QStringList &subjects()
{
    static const QStringList list = {
        QStringLiteral("Call me back"),
        QStringLiteral("Meeting moved to Thursday"),
        QStringLiteral("Order status"),
        QStringLiteral("Invoice question"),
        QStringLiteral("Delivery this afternoon"),
        QStringLiteral("Quarterly figures"),
        QStringLiteral("Visitor in reception"),
        QStringLiteral("Contract renewal"),
        QStringLiteral("Server maintenance"),
        QStringLiteral("Lunch on Friday"),
        QStringLiteral("Urgent: site access"),
        QStringLiteral("Price list update"),
        QStringLiteral("Devis pour Val-Brûlé"),
    };
    return list;
}

const QStringList &accentedFirstNames()
{
    static const QStringList list = QStringLiteral("Ágota Anaïs Åse Björn Cécile Dagný Émile Gonçalo Hélène Inés Jiří "
                                                   "Joël Leïla Małgorzata Mónica Noémie Oğuz "
                                                   "Radosław Ramón Sigríður Søren Thaïs Tomáš Zoltán")
                                        .split(u' ');
    return list;
}

const QStringList &accentedLastNames()
{
    static const QStringList list =
        QStringLiteral(
            "Åkerlund Bélanger Castaño Çelik Dąbrowski Ekström Fernández Großkopf Hájek Ibáñez Jóhannsdóttir Kovačić "
            "Lefèvre Mårtensson Nørgaard Øvrebø Pöllänen Šimek Szőke Thérien Vávra Wójcik Yılmaz Żelazny")
            .split(u' ');
    return list;
}

const QList<EastAsianNames> &eastAsianNames()
{
    auto spelt = [](std::initializer_list<std::pair<const char16_t *, const char *>> list) {
        QList<NativeName> out;
        for (const auto &[text, latin] : list)
            out.append({QString::fromUtf16(text), QString::fromLatin1(latin)});
        return out;
    };
    static const QList<EastAsianNames> list = {
        {spelt({{u"陳", "Chen"}, {u"林", "Lin"}, {u"黄", "Huang"}, {u"周", "Zhou"}, {u"吳", "Wu"}, {u"許", "Xu"}}),
         spelt({{u"嘉怡", "Jiayi"},
                {u"美月", "Meiyue"},
                {u"志明", "Zhiming"},
                {u"雨桐", "Yutong"},
                {u"俊傑", "Junjie"},
                {u"思涵", "Sihan"}})},
        {spelt({{u"佐野", "Sano"},
                {u"高橋", "Takahashi"},
                {u"森田", "Morita"},
                {u"小川", "Ogawa"},
                {u"石井", "Ishii"},
                {u"藤原", "Fujiwara"}}),
         spelt({{u"晴香", "Haruka"},
                {u"蓮", "Ren"},
                {u"彩花", "Ayaka"},
                {u"大輝", "Daiki"},
                {u"結衣", "Yui"},
                {u"翔太", "Shota"}})},
        {spelt({{u"한", "Han"}, {u"박", "Park"}, {u"최", "Choi"}, {u"정", "Jung"}, {u"윤", "Yoon"}}),
         spelt({{u"서윤", "Seoyun"}, {u"지호", "Jiho"}, {u"민준", "Minjun"}, {u"하은", "Haeun"}, {u"도현", "Dohyun"}})},
    };
    return list;
}

QString asciiFold(const QString &text)
{
    QString out;
    // The compatibility decomposition splits "é" into "e" and its accent;
    // letters that are not made of a base and a mark need saying.
    for (QChar c : text.normalized(QString::NormalizationForm_KD)) {
        if (c.unicode() < 0x80) {
            if (c.isLetterOrNumber())
                out += c;
            continue;
        }
        switch (c.unicode()) {
        case u'ß':
            out += QLatin1StringView("ss");
            break;
        case u'æ':
            out += QLatin1StringView("ae");
            break;
        case u'Æ':
            out += QLatin1StringView("AE");
            break;
        case u'œ':
            out += QLatin1StringView("oe");
            break;
        case u'Œ':
            out += QLatin1StringView("OE");
            break;
        case u'þ':
            out += QLatin1StringView("th");
            break;
        case u'Þ':
            out += QLatin1StringView("Th");
            break;
        case u'ø':
            out += u'o';
            break;
        case u'Ø':
            out += u'O';
            break;
        case u'ł':
            out += u'l';
            break;
        case u'Ł':
            out += u'L';
            break;
        case u'đ':
        case u'ð':
            out += u'd';
            break;
        case u'Đ':
        case u'Ð':
            out += u'D';
            break;
        case u'ı':
            out += u'i';
            break;
        default:
            break; // accents, and scripts an alias cannot hold
        }
    }
    return out;
}

} // namespace korva::demo::names
