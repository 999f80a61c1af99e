The top of every page, included by the runtime with $app in scope.
<!--##session header##-->
<!--##include common.php/phpopen##-->
/** @var Tarnwick\App $app */
?><!DOCTYPE html>
<html lang="<!--##@html_lang##-->">
<head>
<meta charset="<?= $app::e($app->config['app']['charset']) ?>">
<meta name="viewport" content="width=device-width, initial-scale=1">
<link rel="icon" href="data:,">
<title><?= $app::e($app->title) ?> · <?= $app::e($app->config['app']['title']) ?></title>
<?= $app->styleLinks() ?>
<?= $app->scriptLinks() ?>
</head>
<body>
<header class="tw-top"><button type="button" class="tw-menu-button" aria-controls="tw-menu" aria-expanded="false"><!--##@menu_button##--></button><a class="tw-brand" href="<?= $app::e($app->config['app']['default_page']) ?>"><?= $app::e($app->config['app']['title']) ?></a><?= $app->userBoxHtml() ?></header>
<div class="tw-shell">
<nav class="tw-menu" id="tw-menu" aria-label="<!--##@menu_label##-->"><?= $app->menuHtml() ?></nav>
<main class="tw-main">
<!--##/session##-->
