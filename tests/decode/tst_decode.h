#pragma once

#include <QObject>

class TestDecode : public QObject {
    Q_OBJECT

private slots:
    // tst_frame.cpp: validation and header
    void frameTests_data();
    void frameTests();
    void respondLine();
    void manufacturer_data();
    void manufacturer();
    void medium_data();
    void medium();
    void status_data();
    void status();
    void idText();
    void hexToInt_data();
    void hexToInt();

    // tst_records.cpp: one record at a time
    void dataFields_data();
    void dataFields();
    void vifGroups_data();
    void vifGroups();
    void extensionTables_data();
    void extensionTables();
    void columns_data();
    void columns();
    void difDescription_data();
    void difDescription();
    void dates_data();
    void dates();
    void reals_data();
    void reals();
    void variableLength_data();
    void variableLength();

    // tst_walk.cpp: the walk over several records, report and modes
    void walk_data();
    void walk();
    void manufacturerRecord_data();
    void manufacturerRecord();
    void fullReportLines();
    void normalMode();
    void decimalSeparator_data();
    void decimalSeparator();
    void buildingBlocksOutOfRange();

    // tst_numbers.cpp: number texts
    void fixedDecimal_data();
    void fixedDecimal();
    void fixedBinary_data();
    void fixedBinary();

    // tst_corpus.cpp: real telegrams against an independent decoder
    void corpusValid_data();
    void corpusValid();
    void corpusCoverage();
    void corpusErrors_data();
    void corpusErrors();

    // tst_fuzz.cpp
    void fuzz();

    // tst_tool.cpp: mbus-decode
    void tool_data();
    void tool();
};
