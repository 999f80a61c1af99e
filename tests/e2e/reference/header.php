<?php
// Page header, included at the top of every page.
/** @var Tarnwick\App $app */
?><!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<link rel="icon" href="data:,">
<title><?= $app::e($app->title) ?> · <?= $app::e($app->config['app']['title']) ?></title>
<?= $app->styleLinks() ?>
<?= $app->scriptLinks() ?>
</head>
<body>
<header class="tw-top"><a class="tw-brand" href="index.php"><?= $app::e($app->config['app']['title']) ?></a><?= $app->userBoxHtml() ?></header>
<div class="tw-shell">
<nav class="tw-menu" aria-label="menu"><?= $app->menuHtml() ?></nav>
<main class="tw-main">
