#include "names.h"

namespace korva::demo::names {

const QStringList &firstNames()
{
    static const QStringList list = QStringLiteral(
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
    static const QStringList list = QStringLiteral(
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
        QStringLiteral("Sales"),      QStringLiteral("Support"),    QStringLiteral("Finance"),
        QStringLiteral("Engineering"), QStringLiteral("Facilities"), QStringLiteral("Human Resources"),
        QStringLiteral("Legal"),      QStringLiteral("Marketing"),  QStringLiteral("Purchasing"),
        QStringLiteral("Logistics"),  QStringLiteral("Operations"), QStringLiteral("Research"),
    };
    return list;
}

const QStringList &companies()
{
    static const QStringList list = {
        QStringLiteral("Arbour Freight"),   QStringLiteral("Bellweather Insurance"), QStringLiteral("Copperline Tools"),
        QStringLiteral("Dunmore Bakery"),   QStringLiteral("Elmstead Clinic"),       QStringLiteral("Foxglove Print"),
        QStringLiteral("Glenholm Estates"), QStringLiteral("Hollins Electrical"),    QStringLiteral("Ironside Storage"),
        QStringLiteral("Juniper Travel"),
    };
    return list;
}

const QStringList &subjects()
{
    static const QStringList list = {
        QStringLiteral("Call me back"),           QStringLiteral("Meeting moved to Thursday"),
        QStringLiteral("Order status"),           QStringLiteral("Invoice question"),
        QStringLiteral("Delivery this afternoon"), QStringLiteral("Quarterly figures"),
        QStringLiteral("Visitor in reception"),   QStringLiteral("Contract renewal"),
        QStringLiteral("Server maintenance"),     QStringLiteral("Lunch on Friday"),
        QStringLiteral("Urgent: site access"),    QStringLiteral("Price list update"),
    };
    return list;
}

} // namespace korva::demo::names
