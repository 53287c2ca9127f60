#pragma once

#include <QAbstractItemModelTester>

// Qt's model tester on `model` for as long as it lives: a change announced out
// of order, or a row that reads wrong after it, fails the test there. A model
// watched already keeps its one tester.
inline void watch(QAbstractItemModel* model)
{
    if (!model || model->property("watchedByModelTester").toBool())
        return;
    model->setProperty("watchedByModelTester", true);
    new QAbstractItemModelTester(model, QAbstractItemModelTester::FailureReportingMode::Fatal, model);
}
